#include "player/units/Opendialogex.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>

namespace {

TOpenDialogEx::Answerer g_answerer;

// Characters that Qt's name-filter syntax carries inside "( )".
bool IsFilterChar(QChar c)
{
    if (c.unicode() >= 128) return false;
    if (c.isLetterOrNumber()) return true;
    static const QString kAllowed = QStringLiteral("_.*?-~!#$%&=^@{}");
    return kAllowed.contains(c);
}

}  // namespace

void TOpenDialogEx::SetAnswerer(Answerer answerer) { g_answerer = std::move(answerer); }

TOpenDialogEx::TOpenDialogEx(QWidget* owner) : owner_(owner)
{
    request_.title = QStringLiteral("開く");
    request_.folderCaption = QStringLiteral("同じフォルダのメディア ファイルも追加する");
    request_.appendCaption = QStringLiteral("再生リストに追加する");
}

void TOpenDialogEx::SetFilter(const QString& filter) { request_.nameFilters = ToNameFilters(filter); }

QString TOpenDialogEx::CaseBlindPattern(const QString& pattern)
{
    const QString p = pattern.trimmed();
    if (p.isEmpty()) return {};
    if (p == QLatin1String("*.*") || p == QLatin1String("*")) return QStringLiteral("*");
    QString out;
    for (QChar c : p) {
        if (!IsFilterChar(c)) return {};
        if (c.isLetter() && c.toLower() != c.toUpper()) {
            out += QLatin1Char('[');
            out += c.toLower();
            out += c.toUpper();
            out += QLatin1Char(']');
        } else {
            out += c;
        }
    }
    return out;
}

QStringList TOpenDialogEx::ToNameFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& raw : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString p = CaseBlindPattern(raw);
            if (!p.isEmpty() && !patterns.contains(p)) patterns << p;
        }
        if (patterns.isEmpty()) continue;
        QString name = parts.at(i).trimmed();
        if (name.isEmpty()) name = parts.at(i + 1).trimmed();
        result << name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

bool TOpenDialogEx::Execute()
{
    if (g_answerer) {
        const Answer answer = g_answerer(request_);
        if (!answer.accepted || answer.files.isEmpty()) return false;
        files_ = answer.files;
        request_.folderChecked = answer.folderChecked;
        request_.appendChecked = answer.appendChecked;
        return true;
    }

    const QString folder = !request_.initialDir.isEmpty() && QFileInfo(request_.initialDir).isDir()
                               ? request_.initialDir
                               : QDir::homePath();
    QFileDialog dialog(owner_, request_.title, folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request_.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!request_.nameFilters.isEmpty()) {
        dialog.setNameFilters(request_.nameFilters);
        const int index = request_.filterIndex - 1;
        if (index >= 0 && index < request_.nameFilters.size()) dialog.selectNameFilter(request_.nameFilters.at(index));
    }

    auto* folderBox = new QCheckBox(request_.folderCaption, &dialog);
    folderBox->setObjectName(QStringLiteral("FolderCheck"));
    folderBox->setChecked(request_.folderChecked);
    folderBox->setVisible(request_.folderVisible);
    auto* appendBox = new QCheckBox(request_.appendCaption, &dialog);
    appendBox->setObjectName(QStringLiteral("AppendCheck"));
    appendBox->setChecked(request_.appendChecked);
    appendBox->setVisible(request_.appendVisible);
    // Qt's own dialog lays itself out in a grid: the boxes go below it.
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(folderBox, row, 0, 1, -1);
        grid->addWidget(appendBox, row + 1, 0, 1, -1);
    }

    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    files_ = chosen;
    request_.folderChecked = folderBox->isChecked();
    request_.appendChecked = appendBox->isChecked();
    const int chosenFilter = request_.nameFilters.indexOf(dialog.selectedNameFilter());
    if (chosenFilter >= 0) request_.filterIndex = chosenFilter + 1;
    return true;
}
