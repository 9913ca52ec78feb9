#include "framework/Home.h"

#include "framework/FrameworkLogging.h"

#include <QString>

#include <cstdlib>
#include <sys/stat.h>

namespace framework {

namespace {

// Why HOME names no usable folder, or nothing when it does.
QString HomeProblem() {
    const char* home = std::getenv("HOME");
    if (home == nullptr)
        return QStringLiteral("HOME is not set");
    if (*home == '\0')
        return QStringLiteral("HOME is empty");
    const QString shown = QString::fromLocal8Bit(home);
    if (*home != '/')
        return QStringLiteral("HOME (%1) is not an absolute path").arg(shown);
    struct stat status {};
    if (::stat(home, &status) != 0 || !S_ISDIR(status.st_mode))
        return QStringLiteral("HOME (%1) is no folder").arg(shown);
    return {};
}

} // namespace

bool HomeUsable() {
    static const bool usable = [] {
        const QString problem = HomeProblem();
        if (!problem.isEmpty())
            qCWarning(lcFramework).noquote()
                << problem + QStringLiteral(": no settings are kept and nothing is made there");
        return problem.isEmpty();
    }();
    return usable;
}

} // namespace framework
