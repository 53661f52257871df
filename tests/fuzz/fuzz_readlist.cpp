// The list readers of every kind, fed through the address loader so that the
// list never touches the disk; entries found are only counted.
#include "units/Creadlist.h"

#include <QByteArray>

#include <cstdint>

namespace {

class CountingSink : public IListSink {
public:
    void AddFileToList(const QString& path) override { count += path.size() > 0; }
    void AddPathOrPlayList(const QString& path) override { count += path.size() > 0; }
    int count = 0;
};

QByteArray g_content;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool loaderSet = [] {
        CReadList::SetAddressLoader([](const QString&, QByteArray* content) {
            *content = g_content;
            return true;
        });
        return true;
    }();
    (void)loaderSet;
    if (size < 1) return 0;
    // The first byte picks the kind; the rest is the list.
    const int kind = data[0] % 6;
    g_content = QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    CountingSink sink;
    CReadList(&sink).Read(QStringLiteral("http://lists.invalid/folder/list"), kind);
    ResolveListLine(QString::fromUtf8(g_content.left(4096)), QStringLiteral("/lists"));
    DecodeXmlEntities(QString::fromUtf8(g_content.left(4096)));
    return 0;
}
