#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <vector>

#include "engine/mysql/MySqlDataDir.h"
#include "engine/mysql/MySqlServices.h"
#include "platform/ServiceManagerCommandLine.h"
#include "support/DaemonCopy.h"
#include "support/TempProgramDir.h"

namespace zov {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

class MySqlDataDirTest : public ::testing::Test {
  protected:
    // The tree under the temporary folder; "<T>" in paths and contents stands for the folder.
    void Plant(const Files& files) {
        for (const auto& [path, text] : files) {
            if (path.ends_with("/")) {
                fs::create_directories(Expand(path));
            } else {
                test::WriteFile(Expand(path), Expand(text));
            }
        }
    }

    void Unplant(const Files& files) {
        for (const auto& [path, text] : files) fs::remove_all(Expand(path));
        fs::remove_all(Expand("<T>/etc"));
    }

    // The search for the service of that command line over the planted files, the program not asked.
    MySqlDataDirSearch SearchPlanted(const Files& files, const std::string& commandLine) {
        Plant(files);
        ServiceInfo service;
        service.commandLine = Expand(commandLine);
        MySqlMachineLayout layout;
        layout.optionFile = Expand("<T>/etc/mysql/my.cnf");
        layout.askProgram = false;
        return SearchMySqlDataDir(service, layout);
    }

    std::string Expand(std::string text) const {
        const std::string root = program_.path().substr(0, program_.path().size() - 1);
        for (std::size_t at; (at = text.find("<T>")) != std::string::npos;) text.replace(at, 3, root);
        return text;
    }

    test::TempProgramDir program_;
};

// Every rule, with real option files: the service's command line, the files it leads to, and the data
// folder and program folder found. "<T>" is the temporary folder. The machine's option file is
// <T>/etc/mysql/my.cnf; the server program is not asked (see the next test).
TEST_F(MySqlDataDirTest, FindsTheDataFolderByTheRules) {
    struct Case {
        std::string what, commandLine;
        Files files;
        std::string dataDir, programFolder;
        MySqlDataDirFailure failure = MySqlDataDirFailure::None;
    };
    const Case cases[] = {
        {"quoted --defaults-file; mysqld found inside mysqld-nt",
         R"(<T>/mysql/bin/mysqld-nt "--defaults-file=<T>/mysql/my.cnf" MySQL)",
         {{"<T>/mysql/my.cnf", "[client]\nport=3306\n[mysqld]\ndatadir = <T>/db\n"}},
         "<T>/db",
         "<T>/mysql/bin/"},
        {"--defaults-file= with literal quotes",
         R"(<T>/mysql/bin/mysqld "--defaults-file=\"<T>/conf/a b.cnf\"")",
         {{"<T>/conf/a b.cnf", "[mysqld]\ndatadir=\"<T>/with blank\"\n"}},
         "<T>/with blank",
         "<T>/mysql/bin/"},
        {"unquoted --defaults-file",
         "<T>/mysql/bin/mariadbd --defaults-file=<T>/etc/server.cnf",
         {{"<T>/etc/server.cnf", "[mariadbd]\ndatadir=<T>/maria\n"}},
         "<T>/maria",
         "<T>/mysql/bin/"},
        {"my.cnf beside the program",
         "<T>/opt/bin/mysqld",
         {{"<T>/opt/bin/my.cnf", "[server]\ndatadir=<T>/beside\n"},
          {"<T>/opt/my.cnf", "[mysqld]\ndatadir=<T>/no\n"}},
         "<T>/beside",
         "<T>/opt/bin/"},
        {"my.cnf in the program folder's parent when none is beside it",
         "<T>/opt/bin/mysqld",
         {{"<T>/opt/my.cnf", "[mysqld]\ndatadir=<T>/parent\n"}},
         "<T>/parent",
         "<T>/opt/bin/"},
        {"a missing --defaults-file falls back to the parent's my.cnf",
         "<T>/opt/bin/mysqld --defaults-file=<T>/gone.cnf",
         {{"<T>/opt/my.cnf", "[mysqld]\ndatadir=<T>/parent\n"}},
         "<T>/parent",
         "<T>/opt/bin/"},
        {"datadir= outside [mysqld] as written",
         "<T>/opt/bin/mysqld",
         {{"<T>/opt/my.cnf", "[client]\ndatadir=D:/mysql/data\n[mysqld]\nport=3306\n"}},
         "D:/mysql/data",
         "<T>/opt/bin/"},
        {"no datadir: the option file's own data folder",
         "<T>/opt/bin/mysqld",
         {{"<T>/opt/my.cnf", "[mysqld]\nport=3306\n"}, {"<T>/opt/data/", ""}},
         "<T>/opt/data",
         "<T>/opt/bin/"},
        {"CRLF lines and an end-of-line comment",
         "<T>/opt/bin/mysqld",
         {{"<T>/opt/bin/my.cnf", "[mysqld]\r\ndatadir = <T>/crlf  # the data\r\nport=1\r\n"}},
         "<T>/crlf",
         "<T>/opt/bin/"},
        {"the last datadir read wins",
         "<T>/opt/bin/mysqld",
         {{"<T>/opt/bin/my.cnf", "[mysqld]\ndatadir=<T>/first\n[mariadbd]\ndatadir=<T>/second\n"}},
         "<T>/second",
         "<T>/opt/bin/"},
        {"--datadir on the command line wins",
         "<T>/opt/bin/mysqld --datadir=<T>/argument",
         {{"<T>/opt/bin/my.cnf", "[mysqld]\ndatadir=<T>/file\n"}},
         "<T>/argument",
         "<T>/opt/bin/"},
        {"paths keep their case",
         "<T>/MySQL/Bin/MYSQLD.exe --defaults-file=<T>/MySQL/My.CNF",
         {{"<T>/MySQL/My.CNF", "[MySQLD]\nDataDir=<T>/MySQL/Data\n"}},
         "<T>/MySQL/Data",
         "<T>/MySQL/Bin/"},
        {"the machine's option file through !includedir and !include",
         "<T>/usr/sbin/mariadbd",
         {{"<T>/etc/mysql/my.cnf",
           "[client-server]\nsocket=/run/x.sock\n!includedir <T>/etc/mysql/conf.d/\n"},
          {"<T>/etc/mysql/conf.d/10-base.cnf", "[mysqld]\ndatadir=<T>/early\n!include ../extra.txt\n"},
          {"<T>/etc/mysql/extra.txt", "[mysqld]\nport=3306\n"},
          {"<T>/etc/mysql/conf.d/50-server.cnf", "[mariadbd]\ndatadir=<T>/debian\n"},
          {"<T>/etc/mysql/conf.d/60-skip.conf", "[mysqld]\ndatadir=<T>/not-cnf\n"}},
         "<T>/debian",
         "<T>/usr/sbin/"},
        {"an include loop ends",
         "<T>/usr/sbin/mariadbd",
         {{"<T>/etc/mysql/my.cnf", "!include <T>/etc/mysql/my.cnf\n[mysqld]\ndatadir=<T>/loop\n"}},
         "<T>/loop",
         "<T>/usr/sbin/"},
        {"stock layout without datadir anywhere, program not asked",
         "<T>/usr/sbin/mariadbd",
         {{"<T>/etc/mysql/my.cnf", "!includedir <T>/etc/mysql/mariadb.conf.d/\n"},
          {"<T>/etc/mysql/mariadb.conf.d/50-server.cnf",
           "[mysqld]\n#datadir = /var/lib/mysql\nuser=mysql\n"}},
         "",
         "<T>/usr/sbin/",
         MySqlDataDirFailure::NoDataDir},
        {"nothing found", "<T>/none/bin/mysqld", {}, "", "<T>/none/bin/", MySqlDataDirFailure::NoOptionFile},
        {"not a server", "/usr/bin/python3 -m http.server", {}, "", "", MySqlDataDirFailure::NotMySql},
        {"no command line", "", {}, "", "", MySqlDataDirFailure::NoCommandLine},
    };
    for (const Case& c : cases) {
        fs::remove_all(program_ / "tree");
        const MySqlDataDirSearch search = SearchPlanted(c.files, c.commandLine);
        EXPECT_EQ(search.dataDir, Expand(c.dataDir)) << c.what;
        EXPECT_EQ(search.programFolder, Expand(c.programFolder)) << c.what;
        EXPECT_EQ(search.failure, c.failure) << c.what;
        Unplant(c.files);
    }
}

// The socket and port the server listens on: its command line, else its own option file, else the
// machine's; other groups than the server's are not its own.
TEST_F(MySqlDataDirTest, TheSocketAndPortComeFromTheServersOptions) {
    struct Case {
        std::string what, commandLine;
        Files files;
        std::string socket, port;
    };
    const Case cases[] = {
        {"command line first",
         "<T>/opt/bin/mysqld --socket=<T>/line.sock --port=3310 --defaults-file=<T>/own.cnf",
         {{"<T>/own.cnf", "[mysqld]\nsocket=<T>/file.sock\nport=3311\n"}},
         "<T>/line.sock",
         "3310"},
        {"the --defaults-file one",
         "<T>/opt/bin/mariadbd --defaults-file=<T>/own.cnf",
         {{"<T>/own.cnf", "[client]\nsocket=<T>/client.sock\n[mariadbd]\nsocket=<T>/own.sock\n"},
          {"<T>/etc/mysql/my.cnf", "[mysqld]\nsocket=<T>/machine.sock\nport=3312\n"}},
         "<T>/own.sock",
         "3312"},
        {"the machine's through its includes",
         "<T>/usr/sbin/mariadbd",
         {{"<T>/etc/mysql/my.cnf", "!includedir <T>/etc/mysql/conf.d/\n"},
          {"<T>/etc/mysql/conf.d/50-server.cnf", "[server]\nsocket = <T>/run/mysqld.sock\n"}},
         "<T>/run/mysqld.sock",
         ""},
        {"none set", "<T>/usr/sbin/mariadbd", {{"<T>/etc/mysql/my.cnf", "[client]\nport=1\n"}}, "", ""},
    };
    for (const Case& c : cases) {
        const MySqlDataDirSearch search = SearchPlanted(c.files, c.commandLine);
        EXPECT_EQ(search.socket, Expand(c.socket)) << c.what;
        EXPECT_EQ(search.port, c.port) << c.what;
        Unplant(c.files);
    }
}

// A stock Debian server: datadir is in no option file, so the installed server program tells its own.
TEST_F(MySqlDataDirTest, AStockServerTellsItsCompiledDefault) {
    ServiceInfo service;
    service.commandLine = "/usr/sbin/mariadbd";
    MySqlMachineLayout layout;
    layout.optionFile = program_ / "none.cnf";
    const MySqlDataDirSearch search = SearchMySqlDataDir(service, layout);
    EXPECT_EQ(search.failure, MySqlDataDirFailure::None);
    EXPECT_EQ(search.dataDir, "/var/lib/mysql/");

    // A bare program name is found through the service's program file.
    service.commandLine = "mariadbd --skip-grant-tables";
    service.imagePath = "/usr/sbin/mariadbd";
    EXPECT_EQ(SearchMySqlDataDir(service, layout).dataDir, "/var/lib/mysql/");
}

// A "server" in a folder others may write to, or owned by another user, is never run as root.
TEST_F(MySqlDataDirTest, AProgramOthersControlIsNeverAsked) {
    const std::string marker = program_ / "ran";
    for (const char* folder : {"open/bin/", "owned/bin/"}) {
        const std::string program = program_ / (std::string(folder) + "mysqld");
        test::WriteFile(program, "#!/bin/sh\ntouch " + marker + "\necho 'datadir /planted/'\n");
        ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    }
    ASSERT_EQ(chmod((program_ / "open/bin").c_str(), 0777), 0);
    ASSERT_EQ(chown((program_ / "owned/bin/mysqld").c_str(), 65534, 65534), 0);
    for (const char* folder : {"open/bin/", "owned/bin/"}) {
        ServiceInfo service;
        service.commandLine = program_ / (std::string(folder) + "mysqld");
        MySqlMachineLayout layout;
        layout.optionFile = "";
        const MySqlDataDirSearch search = SearchMySqlDataDir(service, layout);
        EXPECT_EQ(search.dataDir, "") << folder;
        EXPECT_FALSE(fs::exists(marker)) << folder;
    }
}

// Any user may start a process named like a server: a running server that nobody registered names the data
// folder only when it runs a trusted program, as root or as a system account that owns that folder; a
// person's account (here "nobody") never does, not even on a folder of its own. Processes are started in
// order, so the first ones have the lower pids.
TEST_F(MySqlDataDirTest, OnlyABelievedServerProcessNamesTheDataFolder) {
    struct Process {
        std::string program;  // under the temporary folder, named like the server
        std::string user;     // "" for root
        std::string dataDir;
    };
    struct Case {
        std::string what;
        std::vector<Process> processes;
        std::string dataDir;  // "" when none is believed
    };
    const std::string server = "sbin/zovtest-mysqld";
    const Case cases[] = {
        {"root, trusted program", {{server, "", "<T>/data-root"}}, "<T>/data-root"},
        {"root, program in a folder others may write to", {{"open/" + server, "", "<T>/data-root"}}, ""},
        {"root, program another user owns", {{"theirs/" + server, "", "<T>/data-root"}}, ""},
        {"another user, root's data folder", {{server, "nobody", "<T>/data-root"}}, ""},
        {"a login account on a folder of its own", {{server, "nobody", "<T>/data-nobody"}}, ""},
        {"a system account on a folder of its own",
         {{server, "daemon", "<T>/data-daemon"}},
         "<T>/data-daemon"},
        {"a system account, root's data folder", {{server, "daemon", "<T>/data-root"}}, ""},
        {"unbelieved processes with lower pids",
         {{"open/" + server, "", "<T>/data-planted"},
          {"copy/" + server, "nobody", "<T>/data-root"},
          {server, "", "<T>/data-root"}},
         "<T>/data-root"},
    };
    ASSERT_EQ(chmod(program_.path().c_str(), 0755), 0);
    Plant({{"<T>/data-root/", ""},
           {"<T>/data-nobody/", ""},
           {"<T>/data-daemon/", ""},
           {"<T>/data-planted/", ""},
           {"<T>/open/sbin/", ""}});
    ASSERT_EQ(chown(Expand("<T>/data-nobody").c_str(), 65534, 65534), 0);
    ASSERT_EQ(chown(Expand("<T>/data-daemon").c_str(), 1, 1), 0);
    ASSERT_EQ(chmod(Expand("<T>/open/sbin").c_str(), 0777), 0);
    MySqlMachineLayout layout;
    layout.optionFile = "";
    for (const Case& c : cases) {
        std::vector<pid_t> pids;
        for (const Process& process : c.processes) {
            const std::string program = Expand("<T>/" + process.program);
            fs::remove(program);
            pids.push_back(
                test::StartDaemonCopy(program, {"--datadir=" + Expand(process.dataDir)}, process.user));
            if (process.program.starts_with("theirs/")) {
                EXPECT_EQ(chown(program.c_str(), 65534, 65534), 0);
            }
        }
        const MySqlDataDirSearch search = SearchMySqlDataDir("zovtest-mysqld", layout);
        for (const pid_t pid : pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        EXPECT_EQ(search.dataDir, Expand(c.dataDir)) << c.what;
        if (c.dataDir.empty()) {
            EXPECT_EQ(search.failure, MySqlDataDirFailure::Untrusted) << c.what;
        }
    }
}

// The editor offers real server processes only, each once: a process whose arguments merely name MySQL
// is none, a person's server is not believed, and servers of one name are told apart by their data
// folder, under the name the task keeps and by which the backup finds that server again.
TEST_F(MySqlDataDirTest, TheServerListOffersEachBelievedServerOnce) {
    struct Process {
        std::string program;  // under the temporary folder
        std::vector<std::string> arguments;
        std::string user;  // "" for root
    };
    struct Case {
        std::string what;
        std::vector<Process> processes;
        std::map<std::string, std::string> offered;  // name -> the data folder it finds
    };
    const std::string server = "sbin/zovtest-mariadbd";
    const Process decoys[] = {
        {"libexec/collect2", {"-o", "<T>/a.out", "/usr/lib/x86_64-linux-gnu/libmysqlclient.so"}, ""},
        {"bin/ld", {"-o", "<T>/mysql/mysqld", "-L/usr/lib/mysql", "-lmysqlclient"}, ""},
        {"bin/mariadb", {"-uroot", "--socket=/run/mysqld/mysqld.sock", "mysql"}, ""},
    };
    const Case cases[] = {
        {"decoys and two servers",
         {decoys[0],
          decoys[1],
          decoys[2],
          {"one/" + server, {"--datadir=<T>/data-one"}, ""},
          {"two/" + server, {"--datadir=<T>/data-two"}, ""}},
         {{"zovtest-mariadbd (<T>/data-one)", "<T>/data-one"},
          {"zovtest-mariadbd (<T>/data-two)", "<T>/data-two"}}},
        {"one server keeps the plain service name",
         {decoys[0], {"one/" + server, {"--datadir=<T>/data-one"}, ""}},
         {{"zovtest-mariadbd", "<T>/data-one"}}},
        {"two processes on one data folder are one server",
         {{"one/" + server, {"--datadir=<T>/data-one"}, ""},
          {"two/" + server, {"--datadir=<T>/data-one"}, ""}},
         {{"zovtest-mariadbd", "<T>/data-one"}}},
        {"a person's server is not offered", {{"one/" + server, {"--datadir=<T>/data-one"}, "nobody"}}, {}},
    };
    ASSERT_EQ(chmod(program_.path().c_str(), 0755), 0);
    Plant({{"<T>/data-one/", ""}, {"<T>/data-two/", ""}});
    for (const Case& c : cases) {
        std::vector<pid_t> pids;
        for (const Process& process : c.processes) {
            const std::string program = Expand("<T>/" + process.program);
            fs::remove(program);
            std::vector<std::string> arguments;
            for (const std::string& argument : process.arguments) arguments.push_back(Expand(argument));
            pids.push_back(test::StartDaemonCopy(program, arguments, process.user));
        }
        std::vector<std::string> names;
        FindMySqlServices(names);
        std::map<std::string, std::string> offered;
        for (const std::string& name : names) {
            EXPECT_NE(name, "collect2") << c.what;
            EXPECT_NE(name, "ld") << c.what;
            EXPECT_NE(name, "mariadb") << c.what;
            if (name.starts_with("zovtest-")) offered[name] = SearchMySqlDataDir(name).dataDir;
        }
        for (const pid_t pid : pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::map<std::string, std::string> expected;
        for (const auto& [name, dataDir] : c.offered) expected[Expand(name)] = Expand(dataDir);
        EXPECT_EQ(offered, expected) << c.what;
        EXPECT_EQ(std::count_if(names.begin(), names.end(),
                                [](const std::string& name) { return name.starts_with("zovtest-"); }),
                  static_cast<long>(expected.size()))
            << c.what;
    }
}

TEST_F(MySqlDataDirTest, ParseMySqlDataDirTakesTheFirstKeyAsWritten) {
    struct Case {
        std::string text, value;
    };
    const Case cases[] = {
        {"[client]\ndatadir=D:/mysql/data\n[mysqld]\ndatadir=/other\n", "D:/mysql/data"},
        {"[mysqld]\r\ndatadir=\"/srv/my data\"\r\n", "/srv/my data"},
        {"[mysqld]\ndatadir=/at/end", "/at/end"},
        {"[mysqld]\ndatadir = /spaced\n", ""},
        {"[mysqld]\nDATADIR=/upper\n", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        test::WriteFile(program_ / "my.cnf", c.text);
        EXPECT_EQ(ParseMySqlDataDir(program_ / "my.cnf"), c.value) << c.text;
    }
    EXPECT_EQ(ParseMySqlDataDir(program_ / "missing.cnf"), "");
}

// The program makes a server, by argv[0] or by the program file; an argument never does.
TEST_F(MySqlDataDirTest, OnlyAServerProgramIsAServer) {
    struct Case {
        std::string commandLine, imagePath;
        bool server;
    };
    const Case cases[] = {
        {"/usr/sbin/mariadbd", "", true},
        {JoinCommandLine({"/opt/My SQL/bin/mysqld", "--port=3307"}), "", true},
        {R"("C:\mysql\bin\MYSQLD-NT.EXE" --defaults-file=my.ini)", "", true},
        {"mariadbd --skip-grant-tables", "/usr/sbin/mariadbd", true},
        {"renamed-by-itself", "/usr/sbin/mysqld", true},
        {"/bin/sh /usr/bin/mysqld_safe", "/usr/bin/dash", false},
        {"/usr/bin/mysqldump --all-databases", "/usr/bin/mysqldump", false},
        {"/usr/bin/mysql --socket=/run/mysqld/mysqld.sock", "/usr/bin/mysql", false},
        {"mariadb -uroot", "/usr/bin/mariadb", false},
        {"/usr/libexec/gcc/collect2 /usr/lib/libmysqlclient.so", "/usr/libexec/gcc/collect2", false},
        {"/usr/bin/ld -o mysqld mysqld.o", "/usr/bin/ld", false},
        {"/usr/bin/python3 --defaults-file=/etc/mysql/mysqld.cnf", "/usr/bin/python3", false},
        {"", "", false},
    };
    for (const Case& c : cases) {
        ServiceInfo service;
        service.commandLine = c.commandLine;
        service.imagePath = c.imagePath;
        EXPECT_EQ(IsMySqlServer(service), c.server) << c.commandLine;
    }
}

}  // namespace
}  // namespace zov
