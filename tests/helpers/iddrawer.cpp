// Draws ids from a named sequence of the id service, the way another
// process of the machine does.
//
//   iddrawer NAME COUNT
//
// Prints each id on a line of its own (0 for a failed draw) and exits 0.
// The id folder comes from STRATEGYLOGIC_ID_DIR.

#include <interprocidservice.h>

#include <QString>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: iddrawer NAME COUNT\n");
        return 2;
    }
    const QString name = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[2]);
    for (int i = 0; i < count; ++i)
        std::printf("%lld\n", static_cast<long long>(InterProcIdService::instance().getId(name)));
    std::fflush(stdout);
    return 0;
}
