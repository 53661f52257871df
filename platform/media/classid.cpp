// Class identifiers of element factories and the type finder on files.
#include "platform/media/graph.h"

#include <gst/base/gsttypefindhelper.h>
#include <gst/gst.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUuid>
#include <QtEndian>

#include <mutex>

namespace media {

namespace {

// The namespace of our factory class identifiers. Never change it: stored
// preferences hold identifiers made under it.
const QUuid kFactoryNamespace(0x4c7e2f19, 0x8a3d, 0x4b6e, 0x9f, 0x21, 0x5d, 0x0c, 0x73, 0xa8, 0xe4, 0x16);

QByteArray GuidBytes(const QUuid& id)
{
    // A stored GUID: Data1, Data2 and Data3 little-endian, Data4 as it stands.
    QByteArray bytes(16, '\0');
    auto* p = reinterpret_cast<uchar*>(bytes.data());
    qToLittleEndian<quint32>(id.data1, p);
    qToLittleEndian<quint16>(id.data2, p + 4);
    qToLittleEndian<quint16>(id.data3, p + 6);
    for (int i = 0; i < 8; ++i) p[8 + i] = id.data4[i];
    return bytes;
}

struct ClassIdIndex {
    std::mutex mutex;
    guint32 cookie = 0;
    bool built = false;
    QHash<QByteArray, QString> byId;
};

ClassIdIndex& Index()
{
    static ClassIdIndex index;
    return index;
}

}  // namespace

QByteArray FactoryClassId(const QString& factoryName)
{
    return GuidBytes(QUuid::createUuidV5(kFactoryNamespace, factoryName));
}

QString FactoryForClassId(const QByteArray& classId16)
{
    if (classId16.size() != 16 || classId16.count('\0') == 16) return {};
    // Started elsewhere, perhaps still loading the registry on another
    // thread: gst_init_check waits until the registry is whole.
    if (!gst_is_initialized() || !gst_init_check(nullptr, nullptr, nullptr)) return {};
    GstRegistry* registry = gst_registry_get();
    ClassIdIndex& index = Index();
    std::lock_guard<std::mutex> lock(index.mutex);
    const guint32 cookie = gst_registry_get_feature_list_cookie(registry);
    if (!index.built || index.cookie != cookie) {
        index.byId.clear();
        GList* features = gst_registry_get_feature_list(registry, GST_TYPE_ELEMENT_FACTORY);
        for (GList* l = features; l; l = l->next) {
            const QString name = QString::fromUtf8(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(l->data)));
            index.byId.insert(FactoryClassId(name), name);
        }
        gst_plugin_feature_list_free(features);
        index.cookie = cookie;
        index.built = true;
    }
    return index.byId.value(classId16);
}

QString FindMediaType(const QString& path)
{
    if (!gst_is_initialized() || !gst_init_check(nullptr, nullptr, nullptr)) return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    // The type finders look at the head of the data; 256 KiB is more than
    // any of them needs to tell program streams from elementary streams.
    const QByteArray head = file.read(256 * 1024);
    if (head.isEmpty()) return {};
    const QByteArray extension = QFileInfo(path).suffix().toLower().toUtf8();
    GstTypeFindProbability probability = GST_TYPE_FIND_NONE;
    GstCaps* caps = gst_type_find_helper_for_data_with_extension(
        nullptr, reinterpret_cast<const guint8*>(head.constData()), static_cast<gsize>(head.size()),
        extension.isEmpty() ? nullptr : extension.constData(), &probability);
    if (!caps) return {};
    gchar* text = gst_caps_to_string(caps);
    const QString result = QString::fromUtf8(text);
    g_free(text);
    gst_caps_unref(caps);
    return result;
}

}  // namespace media
