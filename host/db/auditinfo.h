// The running record of an audit: whether errors are to be fixed, how many were found and fixed,
// and the report lines objects printed about them.
#pragma once

#include "host/core/acstring.h"
#include "host/core/types.h"

class AcDbAuditInfo {
  public:
    AcDbAuditInfo() = default;
    virtual ~AcDbAuditInfo() = default;

    // When false the audit only reports; objects must leave their data as it is.
    bool fixErrors() const { return m_fixErrors; }
    void setFixErrors(bool fix) { m_fixErrors = fix; }

    // Both add to the running totals.
    void errorsFound(int count) { m_numErrors += count; }
    void errorsFixed(int count) { m_numFixes += count; }
    int numErrors() const { return m_numErrors; }
    int numFixes() const { return m_numFixes; }

    // Records one report line: what was checked, the value found, the rule it broke and the value
    // that replaces it. Null arguments print as empty text.
    virtual void printError(const ACHAR* name, const ACHAR* value, const ACHAR* validation,
                            const ACHAR* defaultValue);
    const AcStringArray& messages() const { return m_messages; }

  private:
    bool m_fixErrors = false;
    int m_numErrors = 0;
    int m_numFixes = 0;
    AcStringArray m_messages;
};
