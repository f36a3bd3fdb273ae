// Holds an SQLite database locked from a second process, the way another
// program of the machine might.
//
//   dblocker DBPATH [exclusive|immediate]
//
// Opens DBPATH, begins a transaction of the given kind (exclusive by
// default: nobody else may even read), prints "locked" on stdout and waits
// until a line arrives on stdin or stdin closes; then rolls back and exits 0.
// Exits 1 when the lock cannot be taken.

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: dblocker DBPATH [exclusive|immediate]\n");
        return 2;
    }
    const bool immediate = argc > 2 && std::strcmp(argv[2], "immediate") == 0;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    sqlite3_busy_timeout(db, 5000);
    char *message = nullptr;
    if (sqlite3_exec(db, immediate ? "BEGIN IMMEDIATE" : "BEGIN EXCLUSIVE", nullptr, nullptr, &message)
        != SQLITE_OK) {
        std::fprintf(stderr, "cannot lock: %s\n", message ? message : "");
        sqlite3_free(message);
        sqlite3_close(db);
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}
