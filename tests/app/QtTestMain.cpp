// Runs the tests of the app's model with a home of their own (QtTestEnvironment.h), in a time zone
// three hours east of UTC all year, so that dates read in the user's zone differ from UTC.
#include "QtTestEnvironment.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    return quillmere::testing::runQtTests<QCoreApplication>(argc, argv,
                                                            [] { qputenv("TZ", "XST-3"); });
}
