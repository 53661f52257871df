#include "DlgBase.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QThread>

namespace zodlg {

QFont DialogFont()
{
    QFont font;
    font.setFamilies({QString::fromUtf8("Noto Sans CJK JP"), QString::fromUtf8("Noto Sans JP"),
                      QString::fromUtf8("IPAGothic"), QString::fromUtf8("VL Gothic"), QString::fromUtf8("sans-serif")});
    font.setPointSize(9);
    return font;
}

void ApplyDialogUnits(QDialog* dialog)
{
    dialog->setFont(DialogFont());
    const QFontMetrics metrics(dialog->font());
    // The average width of the Latin letters, as dialog units are defined,
    // and the full character height.
    const QString letters = QString::fromUtf8("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    const int baseY = metrics.height();
    const auto x = [baseX](int units) { return (units * baseX + 2) / 4; };
    const auto y = [baseY](int units) { return (units * baseY + 4) / 8; };
    for (QObject* child : dialog->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (!widget || widget->isWindow()) continue;
        const QRect r = widget->geometry();
        widget->setGeometry(x(r.x()), y(r.y()), x(r.width()), y(r.height()));
    }
    dialog->setFixedSize(x(dialog->width()), y(dialog->height()));
}

QWidget* CallerWindow() { return QApplication::activeWindow(); }

bool CanShowDialogs()
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

QString ControlName(int id) { return QString::fromUtf8("c%1").arg(id); }

ExportScope::~ExportScope()
{
    if (QCoreApplication::instance()) QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace zodlg

#include "common/Cstrings.h"

#include <QLineEdit>

#include <vector>

namespace zodlg {

bool ReadBinaryText(HKEY key, const char* name, std::size_t maxBytes, std::string* bytes)
{
    bytes->clear();
    if (!key) return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_BINARY) return false;
    std::vector<BYTE> data(size);
    if (size > 0 && RegQueryValueEx(key, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) return false;
    std::string text(data.begin(), data.begin() + size);
    text = text.substr(0, text.find('\0'));
    if (text.size() > maxBytes) return false;
    *bytes = std::move(text);
    return true;
}

bool WriteBinaryText(HKEY key, const char* name, const std::string& bytes)
{
    const std::string stored = bytes.empty() ? std::string(1, '\0') : bytes;
    return RegSetValueEx(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(stored.data()),
                         static_cast<DWORD>(stored.size())) == ERROR_SUCCESS;
}

void LimitUtf8Bytes(QLineEdit* edit, int maxBytes)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, maxBytes](const QString& text) {
        if (text.toUtf8().size() <= maxBytes) return;
        const QSignalBlocker block(edit);
        edit->setText(CutUtf8(text, maxBytes));
    });
}

}  // namespace zodlg
