#include "viewmodels/ViewModelActions.h"

#include "util/Error.h"
#include "platform/Logger.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

namespace norvelle {

namespace {

QString unqualifiedTypeName(const std::type_info& type)
{
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> demangled(
        abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
    QString name = QString::fromUtf8(status == 0 && demangled ? demangled.get() : type.name());
    const qsizetype separator = name.lastIndexOf(QLatin1String("::"));
    return separator < 0 ? name : name.mid(separator + 2);
}

} // namespace

QString failureDescription(const std::exception_ptr& error)
{
    return describeException(error);
}

QString failureDetails(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        QString description = describeException(e);
        description.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        description.replace(QLatin1Char('"'), QLatin1String("\\\""));
        return unqualifiedTypeName(typeid(e)) + QLatin1String("(\"") + description + QLatin1String("\")");
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

QString logActionFailure(const QString& action, const std::exception_ptr& error)
{
    const QString description = failureDescription(error);
    Logger::error(QStringLiteral("Failed to ") + action + QStringLiteral(": ") + description);
    return description;
}

QFuture<void> finishedAction()
{
    return QtFuture::makeReadyFuture();
}

} // namespace norvelle
