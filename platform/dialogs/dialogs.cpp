#include "platform/dialogs/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {
dialogs::MessageBoxAnswerer g_answerer;
bool g_sessionEnding = false;

// The answer of a box closed without a button.
int ClosedAnswer(UINT flags)
{
    return (flags & 0x0F) == MB_YESNO ? IDNO : ((flags & 0x0F) == MB_OK ? IDOK : IDCANCEL);
}

dialogs::InputQueryAnswerer g_inputAnswerer;
}  // namespace

void dialogs::SetMessageBoxAnswerer(MessageBoxAnswerer answerer) { g_answerer = std::move(answerer); }
void dialogs::SetInputQueryAnswerer(InputQueryAnswerer answerer) { g_inputAnswerer = std::move(answerer); }

bool InputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString* value)
{
    if (g_sessionEnding) return false;
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

void dialogs::SetSessionEnding(bool ending) { g_sessionEnding = ending; }

bool dialogs::SessionEnding() { return g_sessionEnding; }

int dialogs::CancelOpenDialogs()
{
    int open = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (!dialog || !dialog->isVisible()) continue;
        dialog->reject();
        ++open;
    }
    return open;
}

int MessageBox(QWidget* owner, const QString& text, const QString& caption, UINT flags)
{
    if (g_sessionEnding) return ClosedAnswer(flags);
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
    return ClosedAnswer(flags);
}
