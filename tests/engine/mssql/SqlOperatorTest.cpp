#include <gtest/gtest.h>

#include "SqlServerTestSupport.h"

namespace zov {
namespace {

using test::SqlServerTest;

constexpr const char* kDatabases =
    R"({"databases": ["master", "tempdb", "TempDB", "model", "msdb", "pubs", "Northwind", "NorthWind",
                      "销售", "a]b'c"]})";

TEST_F(SqlServerTest, BothListingsLeaveOutTheSystemDatabasesTheirWay) {
    StartPeer(kDatabases);
    struct Case {
        bool names, includeSystem;
        std::vector<std::string> listed;
    };
    const Case cases[] = {
        {false, false, {"NorthWind", "销售", "a]b'c"}},
        {false, true, {"model", "msdb", "pubs", "Northwind", "NorthWind", "销售", "a]b'c"}},
        {true, false, {"销售", "a]b'c"}},
        {true, true, {"model", "msdb", "pubs", "Northwind", "NorthWind", "销售", "a]b'c"}},
    };
    for (const Case& c : cases) {
        CSQLOperator sql;
        std::vector<std::string> out{"stale"};
        ASSERT_TRUE(c.names ? sql.ListDatabaseNames("MSSQLSERVER", out, c.includeSystem)
                            : sql.ListDatabases("", out, c.includeSystem))
            << sql.message();
        EXPECT_EQ(out, c.listed) << c.names << c.includeSystem;
    }
    EXPECT_EQ(peer_->Batches(),
              (std::vector<std::string>{"select name,crdate,filename from master..sysdatabases",
                                        "select name,crdate,filename from master..sysdatabases",
                                        "select name from master..sysdatabases",
                                        "select name from master..sysdatabases"}));
}

// The login carries config.ini's user and password, however hostile the password.
TEST_F(SqlServerTest, TheLoginCarriesTheConfiguredAccount) {
    StartPeer(kDatabases);
    CSQLOperator sql;
    ASSERT_TRUE(sql.Connect("")) << sql.message();
    const auto records = peer_->Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].at("user"), "sa");
    EXPECT_EQ(records[0].at("password"), test::kPeerPassword);
    EXPECT_EQ(records[0].at("server"), "127.0.0.1");
}

// An error after the first rows fails the listing instead of giving part of the list.
TEST_F(SqlServerTest, AListingThatEndsInAnErrorFails) {
    StartPeer(R"({"rules": [{"match": "sysdatabases", "reply": [
        {"rows": {"columns": ["name"], "rows": [["one"]]}}, {"done_more": true},
        {"error": [823, "I/O error detected."]}]}]})");
    CSQLOperator sql;
    std::vector<std::string> out;
    EXPECT_FALSE(sql.ListDatabases("", out, false));
    EXPECT_NE(sql.message().find("I/O error detected."), std::string::npos) << sql.message();
    EXPECT_FALSE(sql.ListDatabaseNames("MSSQLSERVER", out, false));
    EXPECT_TRUE(sql.message().starts_with("获取实例MSSQLSERVER的数据库失败。")) << sql.message();
    EXPECT_NE(sql.message().find("I/O error detected."), std::string::npos) << sql.message();
}

// killspid is created on a server that lacks it, once; names are escaped in every statement.
TEST_F(SqlServerTest, RestoreEndsTheSessionsThroughKillspidMadeOnce) {
    StartPeer(kDatabases);
    const std::string database = "a]b'c 库 with a name longer than twenty";
    const std::string file = program_ / "it's.bak";
    test::WriteFile(file, "bak");
    for (int round = 0; round < 2; ++round) {
        CSQLOperator sql;
        ASSERT_TRUE(sql.ConnectForRestore("MSSQLSERVER", database)) << sql.message();
        ASSERT_TRUE(sql.RestoreDatabase("MSSQLSERVER", database, file)) << sql.message();
    }
    const std::string check =
        "SELECT count(*) as num FROM dbo.sysobjects WHERE id=object_id(N'[dbo].[killspid]') AND "
        "OBJECTPROPERTY(id, N'IsProcedure') =1";
    const std::string kill = "exec killspid 'a]b''c 库 with a name longer than twenty'";
    const std::string restore = "restore database [a]]b'c 库 with a name longer than twenty] from disk='" +
                                program_ / "it''s.bak' with replace";
    const auto batches = peer_->Batches();
    ASSERT_EQ(batches.size(), 7u);
    EXPECT_EQ(batches[0], check);
    EXPECT_TRUE(batches[1].starts_with("create proc killspid (@dbname sysname)\n")) << batches[1];
    EXPECT_EQ(batches[2], kill);
    EXPECT_EQ(batches[3], restore);
    EXPECT_EQ(std::vector<std::string>(batches.begin() + 4, batches.end()),
              (std::vector<std::string>{check, kill, restore}));
    std::vector<std::string> databases;
    for (auto& record : peer_->Records()) {
        if (record["kind"] == "login") databases.push_back(record["database"]);
    }
    EXPECT_EQ(databases, (std::vector<std::string>{"master", "", "master", ""}));
}

TEST_F(SqlServerTest, RestoreFailures) {
    StartPeer(R"({"rules": [{"match": "^restore database", "reply": [
        {"error": [3159, "The tail of the log has not been backed up."]}]}]})");
    const std::string file = program_ / "x.bak";
    CSQLOperator sql;
    EXPECT_FALSE(sql.RestoreDatabase("", "sales", file));
    EXPECT_EQ(sql.message(), "还原数据库时，指定的数据库备份文件 " + file + " 不存在");
    test::WriteFile(file, "bak");
    EXPECT_FALSE(sql.RestoreDatabase("", "sales", file));
    EXPECT_NE(sql.message().find("The tail of the log has not been backed up."), std::string::npos)
        << sql.message();
    EXPECT_FALSE(sql.ConnectForRestore("", ""));
}

TEST_F(SqlServerTest, InstancesComeFromTheConfiguration) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"", {"MSSQLSERVER"}},
        {"MSSQLSERVER|SQLEXPRESS", {"MSSQLSERVER", "SQLEXPRESS"}},
        {"SQLEXPRESS", {"SQLEXPRESS"}},
    };
    for (const auto& [configured, instances] : cases) {
        IniFile(ConfigIniPath()).Write("Instances", "MSSQL", configured);
        CSQLOperator sql;
        std::vector<std::string> out, noRedirect;
        EXPECT_TRUE(sql.GetInstances(out));
        EXPECT_TRUE(sql.GetInstancesNoRedirect(noRedirect));
        EXPECT_EQ(out, instances) << configured;
        EXPECT_EQ(noRedirect, instances) << configured;
    }
}

}  // namespace
}  // namespace zov
