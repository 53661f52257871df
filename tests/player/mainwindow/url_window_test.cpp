// The address dialog: what a paste takes from the clipboard, and the
// command that opens the address, a pasted long one whole.
#include "player/tools/TDlgInputURL.h"
#include "window_test_util.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

using namespace mwtest;

namespace {

TEST(PastedAddress, FirstLineWholeOrNothing)
{
    const QString longAddress = QStringLiteral("http://example.com/") + QString(400, QLatin1Char('a')) + ".asf";
    struct Row {
        QString text;   // null: a picture only
        QString want;
    };
    const Row rows[] = {
        {longAddress, longAddress},
        {"  http://a/b.wmv  \nhttp://c/d.wmv\n", "http://a/b.wmv"},
        {"\r\n\r\n mms://host/live \r\nnotes", "mms://host/live"},
        {"", ""},
        {" \n\t ", ""},
        {QString(), ""},
    };
    for (const Row& row : rows) {
        QMimeData data;
        if (row.text.isNull())
            data.setImageData(QImage(4, 4, QImage::Format_RGB32));
        else
            data.setText(row.text);
        EXPECT_EQ(PastedAddress(&data), row.want) << row.text.left(40);
    }
    EXPECT_EQ(PastedAddress(nullptr), QString());
}

class AddressDialog : public WindowTest {};

TEST_F(AddressDialog, APastedLongPathOpensWholeAndAPictureLeavesTheTextAlone)
{
    Open();
    // Longer than the 259 characters a paste once took.
    const QString folder = QStringLiteral("%1/%2/%3").arg(QString(100, 'x'), QString(100, 'y'), QString(100, 'z'));
    const QString clip = SilentClip(folder + "/clip.wav", 2000);
    ASSERT_GT(clip.size(), 300);

    QStringList pasted;
    bool dialogFlagSet = false;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<TDlgInputURL*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialogFlagSet = w->DialogOpen();
        auto* paste = dialog->findChild<QPushButton*>(QStringLiteral("Button1"));
        auto* image = new QMimeData;
        image->setImageData(QImage(4, 4, QImage::Format_RGB32));
        QGuiApplication::clipboard()->setMimeData(image);
        dialog->Edit1()->setText(QStringLiteral("typed"));
        paste->click();
        pasted << dialog->Edit1()->text();
        QGuiApplication::clipboard()->setText(clip + QStringLiteral("\nsecond line"));
        paste->click();
        pasted << dialog->Edit1()->text();
        dialog->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
    });
    answer.start();
    ui()->InputURL1->trigger();
    answer.stop();
    EXPECT_TRUE(dialogFlagSet);
    EXPECT_FALSE(w->DialogOpen());
    EXPECT_EQ(pasted, QStringList({"typed", clip}));
    ASSERT_TRUE(WaitPlaying());
    EXPECT_EQ(w->Item().Path, clip);
}

}  // namespace
