#include "platform/shell/icons.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>

#include <vector>

namespace shell {

struct IconProvider::Cache {
    std::vector<QIcon> icons{QIcon()};      // index 0: no icon
    QHash<QString, int> byThemeName;        // one slot per distinct icon
    QHash<QString, int> byExtension;
    QFileIconProvider files;
    QMimeDatabase mimes;
    int fetched = 0;

    int Slot(const QIcon& icon, const QString& key)
    {
        if (icon.isNull()) return 0;
        const QString name = key.isEmpty() ? QString::number(icon.cacheKey()) : key;
        const auto found = byThemeName.constFind(name);
        if (found != byThemeName.constEnd()) return *found;
        icons.push_back(icon);
        const int index = static_cast<int>(icons.size()) - 1;
        byThemeName.insert(name, index);
        return index;
    }

    // The theme's icon of a MIME type, its generic icon, else the provider's.
    int ForMime(const QMimeType& mime)
    {
        for (const QString& name : {mime.iconName(), mime.genericIconName()}) {
            if (name.isEmpty()) continue;
            const auto found = byThemeName.constFind(name);
            if (found != byThemeName.constEnd()) return *found;
            const QIcon icon = QIcon::fromTheme(name);
            if (!icon.isNull()) return Slot(icon, name);
        }
        return Slot(files.icon(QFileIconProvider::File), QStringLiteral("#file"));
    }
};

IconProvider& IconProvider::Shared()
{
    static IconProvider provider;
    return provider;
}

IconProvider::IconProvider() : cache_(std::make_unique<Cache>()) {}
IconProvider::~IconProvider() = default;

int IconProvider::IndexForPath(const QString& path)
{
    ++cache_->fetched;
    const QFileInfo info(path);
    if (path.startsWith(QLatin1String("/dev/"))) {
        const QIcon icon = QIcon::fromTheme(QStringLiteral("media-optical"));
        return cache_->Slot(icon.isNull() ? cache_->files.icon(QFileIconProvider::Drive) : icon,
                            QStringLiteral("media-optical"));
    }
    if (info.isDir()) {
        const QIcon icon = QIcon::fromTheme(QStringLiteral("folder"));
        return cache_->Slot(icon.isNull() ? cache_->files.icon(QFileIconProvider::Folder) : icon,
                            QStringLiteral("folder"));
    }
    return cache_->ForMime(cache_->mimes.mimeTypeForFile(info));
}

int IconProvider::IndexForExtension(const QString& extension)
{
    const auto found = cache_->byExtension.constFind(extension);
    if (found != cache_->byExtension.constEnd()) return *found;
    ++cache_->fetched;
    const int index = extension.isEmpty()
                          ? 0
                          : cache_->ForMime(cache_->mimes.mimeTypeForFile(QStringLiteral("x.") + extension,
                                                                          QMimeDatabase::MatchExtension));
    cache_->byExtension.insert(extension, index);
    return index;
}

QIcon IconProvider::Icon(int index) const
{
    if (index <= 0 || index >= static_cast<int>(cache_->icons.size())) return QIcon();
    return cache_->icons[static_cast<size_t>(index)];
}

int IconProvider::FetchCount() const { return cache_->fetched; }

}  // namespace shell
