#include "platform/OdbcConnection.h"

#include <algorithm>
#include <iterator>

#include "platform/OdbcHandle.h"
#include "platform/Text.h"

namespace zov {

struct OdbcConnection::Handles {
    OdbcHandle environment;
    OdbcHandle connection;
    bool connected = false;
    // The statement running now; guarded by cancelMutex_.
    SQLHSTMT running = nullptr;
};

namespace {

constexpr const char* kCancelledText = "操作已取消";

// The text of a column of the current row; false on a failed read (diagnostics on the statement).
bool ReadColumn(SQLHSTMT statement, SQLUSMALLINT column, std::string& value) {
    std::basic_string<SQLWCHAR> wide;
    SQLWCHAR buffer[2048];
    for (;;) {
        SQLLEN length = 0;
        const SQLRETURN code = SQLGetData(statement, column, SQL_C_WCHAR, buffer, sizeof buffer, &length);
        if (code == SQL_NO_DATA) break;
        if (!OdbcSucceeded(code)) return false;
        if (length == SQL_NULL_DATA) break;
        if (length == SQL_NO_TOTAL || length >= static_cast<SQLLEN>(sizeof buffer)) {
            wide.append(buffer, std::size(buffer) - 1);
            continue;
        }
        wide.append(buffer, static_cast<std::size_t>(length) / sizeof(SQLWCHAR));
        break;
    }
    value = FromOdbcText(wide.data(), wide.size());
    return true;
}

// Reads the rows of the current result set into rows, or passes over them when rows is null.
bool ReadResultSet(SQLHSTMT statement, SQLSMALLINT columns, OdbcRows* rows) {
    if (rows != nullptr) {
        for (SQLUSMALLINT column = 1; column <= columns; ++column) {
            SQLWCHAR name[512] = {};
            SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
            SQLULEN size = 0;
            if (!OdbcSucceeded(SQLDescribeColW(statement, column, name, 512, &length, &type, &size, &digits,
                                               &nullable))) {
                return false;
            }
            rows->columns.push_back(FromOdbcText(name, std::min<std::size_t>(length, 511)));
        }
    }
    for (;;) {
        const SQLRETURN code = SQLFetch(statement);
        if (code == SQL_NO_DATA) return true;
        if (!OdbcSucceeded(code)) return false;
        if (rows == nullptr) continue;
        std::vector<std::string>& row = rows->rows.emplace_back(static_cast<std::size_t>(columns));
        for (SQLUSMALLINT column = 1; column <= columns; ++column) {
            if (!ReadColumn(statement, column, row[column - 1])) return false;
        }
    }
}

}  // namespace

int OdbcRows::ColumnIndex(const std::string& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (EqualsIgnoreAsciiCase(columns[i], name)) return static_cast<int>(i);
    }
    return -1;
}

OdbcConnection::OdbcConnection() : handles_(std::make_unique<Handles>()) {}

OdbcConnection::~OdbcConnection() { Close(); }

bool OdbcConnection::Fail(const std::string& text) {
    error_ = text;
    return false;
}

bool OdbcConnection::Open(const std::string& connectionString, int loginTimeout) {
    Close();
    error_.clear();
    Handles& h = *handles_;
    h.environment = OdbcHandle(SQL_HANDLE_ENV, nullptr);
    if (!h.environment.valid()) return Fail("无法分配ODBC环境");
    SQLSetEnvAttr(h.environment.get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    h.connection = OdbcHandle(SQL_HANDLE_DBC, h.environment.get());
    if (!h.connection.valid()) return Fail("无法分配ODBC连接");
    SQLSetConnectAttr(h.connection.get(), SQL_ATTR_LOGIN_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeout)), 0);
    SQLSetConnectAttr(h.connection.get(), SQL_ATTR_CONNECTION_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeout)), 0);
    std::basic_string<SQLWCHAR> text = ToOdbcText(connectionString);
    SQLSMALLINT outLength = 0;
    const SQLRETURN code =
        SQLDriverConnectW(h.connection.get(), nullptr, text.data(), static_cast<SQLSMALLINT>(text.size()),
                          nullptr, 0, &outLength, SQL_DRIVER_NOPROMPT);
    if (!OdbcSucceeded(code)) {
        const std::string diagnostics = h.connection.Diagnostics();
        h.connection = OdbcHandle();
        return Fail(diagnostics.empty() ? "无法连接数据库" : diagnostics);
    }
    h.connected = true;
    return true;
}

bool OdbcConnection::IsOpen() const { return handles_->connected; }

void OdbcConnection::Close() {
    Handles& h = *handles_;
    if (h.connected) SQLDisconnect(h.connection.get());
    h.connected = false;
    h.connection = OdbcHandle();
    h.environment = OdbcHandle();
}

bool OdbcConnection::Execute(const std::string& statementText, OdbcRows* rows) {
    error_.clear();
    Handles& h = *handles_;
    if (!h.connected) return Fail("未连接数据库");
    OdbcHandle statement(SQL_HANDLE_STMT, h.connection.get());
    if (!statement.valid()) return Fail(h.connection.Diagnostics());
    SQLSetStmtAttr(statement.get(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(queryTimeout_)), 0);
    {
        std::lock_guard lock(cancelMutex_);
        if (cancelled_) return Fail(kCancelledText);
        h.running = statement.get();
    }
    std::basic_string<SQLWCHAR> text = ToOdbcText(statementText);
    SQLRETURN code = SQLExecDirectW(statement.get(), text.data(), static_cast<SQLINTEGER>(text.size()));
    bool done = code == SQL_NO_DATA || OdbcSucceeded(code);
    bool taken = false;
    while (done) {
        SQLSMALLINT columns = 0;
        if (!OdbcSucceeded(SQLNumResultCols(statement.get(), &columns))) {
            done = false;
            break;
        }
        if (columns > 0) {
            OdbcRows* into = rows != nullptr && !taken ? rows : nullptr;
            taken = taken || into != nullptr;
            if (!ReadResultSet(statement.get(), columns, into)) {
                done = false;
                break;
            }
        }
        code = SQLMoreResults(statement.get());
        if (code == SQL_NO_DATA) break;
        done = OdbcSucceeded(code);
    }
    bool cancelled;
    {
        std::lock_guard lock(cancelMutex_);
        h.running = nullptr;
        cancelled = cancelled_;
    }
    if (cancelled) return Fail(kCancelledText);
    if (done) return true;
    const std::string diagnostics = statement.Diagnostics();
    return Fail(diagnostics.empty() ? "执行语句失败" : diagnostics);
}

void OdbcConnection::Cancel() {
    std::lock_guard lock(cancelMutex_);
    cancelled_ = true;
    if (handles_->running != nullptr) SQLCancel(handles_->running);
}

}  // namespace zov
