// Builds a database template from an SQL script: page size 1024, user version 0.
// Usage: sqltemplate <output.db> <script.sql>
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <output.db> <script.sql>\n", argv[0]);
        return 2;
    }
    const std::string output = argv[1];
    const std::string partial = output + ".part";
    std::ifstream in(argv[2]);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    std::stringstream script;
    script << "PRAGMA page_size=1024;\nPRAGMA user_version=0;\n" << in.rdbuf();

    std::remove(partial.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(partial.c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s\n", partial.c_str());
        return 1;
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(db, script.str().c_str(), nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[2], error ? error : "error");
        sqlite3_free(error);
        sqlite3_close(db);
        return 1;
    }
    sqlite3_close(db);
    return std::rename(partial.c_str(), output.c_str()) == 0 ? 0 : 1;
}
