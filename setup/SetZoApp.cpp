#include "setup/SetZoApp.h"

#include "platform/dialogs/dialogs.h"
#include "platform/forms/forms.h"
#include "platform/instance/instance.h"
#include "platform/registry/registry.h"
#include "platform/shell/desktopmirror.h"
#include "setup/SetZoDlg.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <sys/stat.h>

namespace {

// The tool's window for a second start: its only message raises the dialog.
class CSetZoBeacon : public TForm {
public:
    explicit CSetZoBeacon(CSetZoDlg* dialog) : dialog_(dialog) {}
    void WndProc(TMessage& message) override
    {
        if (message.Msg != WM_COPYDATA) return TForm::WndProc(message);
        dialog_->BringForward();
        message.Result = 1;
    }

private:
    CSetZoDlg* dialog_;
};

// Asks the running tool to come forward. The first start takes its lock
// before its window listens: give it a moment to open the socket.
void BringRunningToolForward()
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        if (auto window = instance::WindowConnection::Find(QLatin1String(CSetZoApp::kInstanceName))) {
            window->SendCopyData(-1, QByteArray("show", 5));
            return;
        }
        // The tool that held the lock ended meanwhile: nothing to bring forward.
        if (!instance::NamedMutex::Open(QLatin1String(CSetZoApp::kInstanceName))) return;
        QThread::msleep(50);
    }
}

}  // namespace

QString CSetZoApp::RunningProgramPath()
{
    const QByteArray link = QFile::encodeName(QStringLiteral("/proc/self/exe"));
    char buffer[4096];
    const ssize_t length = readlink(link.constData(), buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return QString();
    return QFile::decodeName(QByteArray(buffer, static_cast<int>(length)));
}

int CSetZoApp::InitInstance(const QString& programPath)
{
    // One atomic step decides which start is first: two tools started at
    // once cannot both miss each other. The lock goes with its process, so a
    // tool that died never blocks the next.
    bool existed = false;
    const auto mutex = instance::NamedMutex::Create(QLatin1String(kInstanceName), &existed);
    if (existed) {
        BringRunningToolForward();
        return 0;
    }
    if (programPath.isEmpty()) {
        MessageBox(nullptr, QStringLiteral("起動できません。"), QStringLiteral("エラー"), MB_OK | MB_ICONERROR);
        return 1;
    }
    const QString folder = programPath.left(programPath.lastIndexOf(QLatin1Char('/')) + 1);
    struct stat status;
    if (stat(QFile::encodeName(folder + QStringLiteral("Zorvi")).constData(), &status) != 0) {
        MessageBox(nullptr, QStringLiteral("Zorvi がありません。"), QStringLiteral("メッセージ"),
                   MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    if (const registry::StoreProblem problem = registry::CheckStore(); problem.kind != registry::StoreProblem::kNone)
        MessageBox(nullptr, QString::fromStdString(problem.Message()), QStringLiteral("エラー"), MB_OK | MB_ICONERROR);
    shell::RemoveStaleMirrorTemporaries();
    CSetZoDlg dialog(folder);
    CSetZoBeacon beacon(&dialog);
    instance::WindowClassServer server(&beacon, QLatin1String(kInstanceName), [](WPARAM) {});
    dialog.exec();
    return 0;
}
