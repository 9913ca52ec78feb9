#pragma once
// The picture-format registry: which picture class reads and writes files of
// a given extension, and how the format is described to the user.
//
// Extensions are compared without case and without a leading dot. Registering
// an extension that is already known replaces the earlier entry, so the last
// registration wins. The registry is process-wide; its calls may come from
// any thread.

#include "framework/Graphic.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <memory>
#include <optional>
#include <typeindex>

namespace framework {

// A picture class: its identity and a way to create an empty instance.
struct TGraphicClass {
    std::type_index Type;
    std::unique_ptr<TGraphic> (*Create)();

    template <typename T> static TGraphicClass Of() {
        return {std::type_index(typeid(T)),
                []() -> std::unique_ptr<TGraphic> { return std::make_unique<T>(); }};
    }
    friend bool operator==(const TGraphicClass& a, const TGraphicClass& b) {
        return a.Type == b.Type;
    }
};

struct TPictureFileFormat {
    QString Extension; // lower case, no dot
    QString Description;
    TGraphicClass GraphicClass;
};

class TPictureRegistry {
public:
    static TPictureRegistry& Instance();

    // An empty extension raises EInvalidGraphicOperation.
    void RegisterFileFormat(const QString& Extension, const QString& Description,
                            const TGraphicClass& GraphicClass);
    // Removes every extension registered for the class.
    void UnregisterGraphicClass(const TGraphicClass& GraphicClass);

    std::optional<TPictureFileFormat> FindExtension(const QString& Extension) const;
    // A new empty picture of the class registered for Extension, or none.
    std::unique_ptr<TGraphic> CreateForExtension(const QString& Extension) const;
    // All registered formats, in the order they were registered.
    QList<TPictureFileFormat> Formats() const;

private:
    TPictureRegistry() = default;

    mutable QMutex mutex_;
    QList<TPictureFileFormat> formats_;
};

} // namespace framework
