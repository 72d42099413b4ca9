#include "host/db/auditinfo.h"

namespace {
const ACHAR* orEmpty(const ACHAR* s) {
    return s != nullptr ? s : L"";
}
}  // namespace

void AcDbAuditInfo::printError(const ACHAR* name, const ACHAR* value, const ACHAR* validation,
                               const ACHAR* defaultValue) {
    AcString line;
    line.format(L"%s: value \"%s\", %s, default \"%s\"", orEmpty(name), orEmpty(value),
                orEmpty(validation), orEmpty(defaultValue));
    m_messages.append(line);
}
