// Runs the review model's tests under a QCoreApplication with a home of their own.
#include "QtTestEnvironment.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    return quillmere::testing::runQtTests<QCoreApplication>(argc, argv, [] {});
}
