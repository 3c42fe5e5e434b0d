#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A connection to a database through unixODBC. Texts are UTF-8 both ways (the driver converts them);
// every statement's result sets are read to their end, so an error that follows rows or informational
// messages fails the statement. Calls come from one thread, except Cancel.
namespace zov {

// The rows of one result set as texts (NULL as ""), with its column names.
struct OdbcRows {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;

    // The column's index (ASCII case ignored); -1 when the result has no such column.
    int ColumnIndex(const std::string& name) const;
};

class OdbcConnection {
  public:
    OdbcConnection();
    ~OdbcConnection();
    OdbcConnection(const OdbcConnection&) = delete;
    OdbcConnection& operator=(const OdbcConnection&) = delete;

    // Connects with the connection string (never logged); the login waits at most loginTimeout seconds.
    // Closes an open connection first. False with error() set.
    bool Open(const std::string& connectionString, int loginTimeout);
    bool IsOpen() const;
    void Close();

    // The longest a statement may run, in seconds (0: no limit).
    void SetQueryTimeout(int seconds) { queryTimeout_ = seconds; }

    // Runs a statement; rows (when given) receives the first result set that has columns. False with
    // error() = the joined diagnostics when the statement or any of its results failed, or when it was
    // cancelled.
    bool Execute(const std::string& statement, OdbcRows* rows = nullptr);

    // From any thread: cancels the running statement and every later one on this connection.
    void Cancel();

    const std::string& error() const { return error_; }

  private:
    struct Handles;

    bool Fail(const std::string& text);

    std::unique_ptr<Handles> handles_;
    int queryTimeout_ = 0;
    std::string error_;
    std::mutex cancelMutex_;
    bool cancelled_ = false;
};

}  // namespace zov
