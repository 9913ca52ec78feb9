#include "framework/PictureRegistry.h"

#include "framework/Exceptions.h"

#include <QMutexLocker>
#include <algorithm>

namespace framework {

namespace {

QString NormalisedExtension(const QString& extension) {
    QString result = extension.trimmed().toLower();
    if (result.startsWith(QLatin1Char('.')))
        result.remove(0, 1);
    return result;
}

} // namespace

TPictureRegistry& TPictureRegistry::Instance() {
    static TPictureRegistry registry;
    return registry;
}

void TPictureRegistry::RegisterFileFormat(const QString& Extension, const QString& Description,
                                          const TGraphicClass& GraphicClass) {
    const QString extension = NormalisedExtension(Extension);
    if (extension.isEmpty())
        throw EInvalidGraphicOperation(QStringLiteral("A picture format needs a file extension"));
    QMutexLocker lock(&mutex_);
    formats_.removeIf([&](const TPictureFileFormat& f) { return f.Extension == extension; });
    formats_.append({extension, Description, GraphicClass});
}

void TPictureRegistry::UnregisterGraphicClass(const TGraphicClass& GraphicClass) {
    QMutexLocker lock(&mutex_);
    formats_.removeIf([&](const TPictureFileFormat& f) { return f.GraphicClass == GraphicClass; });
}

std::optional<TPictureFileFormat> TPictureRegistry::FindExtension(const QString& Extension) const {
    const QString extension = NormalisedExtension(Extension);
    QMutexLocker lock(&mutex_);
    const auto found =
        std::find_if(formats_.cbegin(), formats_.cend(),
                     [&](const TPictureFileFormat& f) { return f.Extension == extension; });
    if (found == formats_.cend())
        return std::nullopt;
    return *found;
}

std::unique_ptr<TGraphic> TPictureRegistry::CreateForExtension(const QString& Extension) const {
    const auto format = FindExtension(Extension);
    if (!format || !format->GraphicClass.Create)
        return nullptr;
    return format->GraphicClass.Create();
}

QList<TPictureFileFormat> TPictureRegistry::Formats() const {
    QMutexLocker lock(&mutex_);
    return formats_;
}

} // namespace framework
