#include "util/Error.h"

namespace norvelle {

Error::Error(QString description) : m_description(std::move(description)), m_utf8(m_description.toUtf8()) {}

QString describeException(const std::exception& e)
{
    if (auto* own = dynamic_cast<const Error*>(&e))
        return own->description();
    return QString::fromUtf8(e.what());
}

QString describeException(std::exception_ptr e)
{
    try {
        std::rethrow_exception(e);
    } catch (const std::exception& ex) {
        return describeException(ex);
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

} // namespace norvelle
