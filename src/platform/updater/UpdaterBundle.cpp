#include "platform/updater/UpdaterBundle.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <memory>
#include <plist/plist.h>

namespace norvelle {

namespace {

constexpr qint64 kMaxInfoPlistBytes = 16 * 1024 * 1024;

QVariantMap readInfoPlist(const QString& path, bool& ok)
{
    ok = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxInfoPlistBytes)
        return {};
    const QByteArray data = file.readAll();
    if (data.isEmpty())
        return {};
    plist_t root = nullptr;
    plist_from_memory(data.constData(), uint32_t(data.size()), &root);
    std::unique_ptr<void, decltype(&plist_free)> guard(root, &plist_free);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return {};

    QVariantMap values;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(root, &it);
    for (;;) {
        char* key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root, it, &key, &value);
        if (!key)
            break;
        const QString name = QString::fromUtf8(key);
        std::free(key);
        if (!value)
            continue;
        if (plist_get_node_type(value) == PLIST_STRING) {
            char* text = nullptr;
            plist_get_string_val(value, &text);
            if (text)
                values.insert(name, QString::fromUtf8(text));
            std::free(text);
        } else if (plist_get_node_type(value) == PLIST_BOOLEAN) {
            uint8_t flag = 0;
            plist_get_bool_val(value, &flag);
            values.insert(name, flag != 0);
        } else {
            values.insert(name, QVariant());
        }
    }
    std::free(it);
    ok = true;
    return values;
}

} // namespace

std::optional<UpdaterBundle> UpdaterBundle::load(const QString& bundlePath)
{
    bool ok = false;
    QVariantMap values = readInfoPlist(QDir(bundlePath).filePath(QStringLiteral("Contents/Info.plist")), ok);
    if (!ok)
        return std::nullopt;
    return UpdaterBundle(bundlePath, std::move(values));
}

QString UpdaterBundle::string(const QString& key) const
{
    const QVariant value = m_values.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

std::optional<bool> UpdaterBundle::boolean(const QString& key) const
{
    const QVariant value = m_values.value(key);
    if (value.typeId() != QMetaType::Bool)
        return std::nullopt;
    return value.toBool();
}

QString UpdaterBundle::version() const
{
    const QString bundleVersion = string(QStringLiteral("CFBundleVersion")).trimmed();
    return bundleVersion.isEmpty() ? string(QStringLiteral("CFBundleShortVersionString")).trimmed() : bundleVersion;
}

} // namespace norvelle
