#include "platform/dialogs/dialogs.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
dialogs::MessageBoxAnswerer g_answerer;
dialogs::InputQueryAnswerer g_inputAnswerer;
}

void dialogs::SetMessageBoxAnswerer(MessageBoxAnswerer answerer) { g_answerer = std::move(answerer); }
void dialogs::SetInputQueryAnswerer(InputQueryAnswerer answerer) { g_inputAnswerer = std::move(answerer); }

bool InputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString* value)
{
    if (g_inputAnswerer) {
        const std::optional<QString> answer = g_inputAnswerer({caption, prompt, *value});
        if (!answer) return false;
        *value = *answer;
        return true;
    }
    QInputDialog box(owner);
    box.setWindowTitle(caption);
    box.setLabelText(prompt);
    box.setTextValue(*value);
    box.setOkButtonText(QStringLiteral("OK"));
    box.setCancelButtonText(QStringLiteral("キャンセル"));
    if (box.exec() != QDialog::Accepted) return false;
    *value = box.textValue();
    return true;
}

int MessageBox(QWidget* owner, const QString& text, const QString& caption, UINT flags)
{
    if (g_answerer) return g_answerer({text, caption, flags});

    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    switch (flags & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONEXCLAMATION: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    if (flags & MB_TOPMOST) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);

    struct Choice {
        QString label;
        int id;
        QMessageBox::ButtonRole role;
    };
    QList<Choice> choices;
    switch (flags & 0x0F) {
    case MB_OKCANCEL:
        choices = {{QStringLiteral("OK"), IDOK, QMessageBox::AcceptRole},
                   {QStringLiteral("キャンセル"), IDCANCEL, QMessageBox::RejectRole}};
        break;
    case MB_YESNOCANCEL:
        choices = {{QStringLiteral("はい(&Y)"), IDYES, QMessageBox::YesRole},
                   {QStringLiteral("いいえ(&N)"), IDNO, QMessageBox::NoRole},
                   {QStringLiteral("キャンセル"), IDCANCEL, QMessageBox::RejectRole}};
        break;
    case MB_YESNO:
        choices = {{QStringLiteral("はい(&Y)"), IDYES, QMessageBox::YesRole},
                   {QStringLiteral("いいえ(&N)"), IDNO, QMessageBox::NoRole}};
        break;
    default:
        choices = {{QStringLiteral("OK"), IDOK, QMessageBox::AcceptRole}};
        break;
    }
    QList<QPair<QAbstractButton*, int>> buttons;
    for (const Choice& c : choices) buttons.append({box.addButton(c.label, c.role), c.id});
    box.setDefaultButton(static_cast<QPushButton*>(buttons.first().first));
    box.exec();
    for (const auto& b : buttons) {
        if (box.clickedButton() == b.first) return b.second;
    }
    // Closed without a button: the box's cancel answer.
    return (flags & 0x0F) == MB_YESNO ? IDNO : ((flags & 0x0F) == MB_OK ? IDOK : IDCANCEL);
}
