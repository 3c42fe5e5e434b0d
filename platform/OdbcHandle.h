#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>

// One ODBC handle, freed with its owner, and the diagnostics it holds as one text.
namespace zov {

class OdbcHandle {
  public:
    OdbcHandle() = default;
    // Allocates a handle of type under parent (SQL_NULL_HANDLE for an environment); not valid on failure.
    OdbcHandle(SQLSMALLINT type, SQLHANDLE parent);
    ~OdbcHandle();
    OdbcHandle(OdbcHandle&& other) noexcept;
    OdbcHandle& operator=(OdbcHandle&& other) noexcept;
    OdbcHandle(const OdbcHandle&) = delete;
    OdbcHandle& operator=(const OdbcHandle&) = delete;

    bool valid() const { return handle_ != nullptr; }
    SQLHANDLE get() const { return handle_; }
    SQLSMALLINT type() const { return type_; }

    // The messages of the handle's diagnostic records, joined by blanks: the errors only when there are
    // any (informational records, SQLSTATE 01xxx, are then left out), else every record.
    std::string Diagnostics() const;

  private:
    void Free();

    SQLSMALLINT type_ = 0;
    SQLHANDLE handle_ = nullptr;
};

// UTF-8 text as the driver's wide characters (UTF-16) and back; invalid bytes become U+FFFD.
std::basic_string<SQLWCHAR> ToOdbcText(const std::string& text);
std::string FromOdbcText(const SQLWCHAR* text, std::size_t length);

inline bool OdbcSucceeded(SQLRETURN code) { return code == SQL_SUCCESS || code == SQL_SUCCESS_WITH_INFO; }

}  // namespace zov
