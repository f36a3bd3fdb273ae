// Holds an installation folder from a second process, as another client
// or strategyctl would.
//
//   folderholder FOLDER
//
// Takes the folder's lock without waiting and prints "held", or prints
// "busy <holder>" and exits 1 when another process holds it. Holding, it
// waits until a line arrives on stdin or stdin closes, then lets go and
// exits 0.

#include <zqfolderlock.h>

#include <QCoreApplication>

#include <cstdio>
#include <iostream>
#include <string>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: folderholder FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    ZqFolderLock::Holder holder;
    if (ZqFolderLock::acquire(folder, &holder) != ZqFolderLock::Acquired) {
        std::printf("busy %s\n", qPrintable(holder.describe()));
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    std::string line;
    std::getline(std::cin, line);
    ZqFolderLock::release(folder);
    return 0;
}
