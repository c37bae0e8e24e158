// Makes the starter velocity library from its readable source:
//   pel_make_starter_table data/tableku.txt data/tableku.tku
// The table is written by the velocity list's own writer, so it is exactly the file the
// instrument itself would save for these rows.
#include "StarterTableSource.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE.txt TABLE.tku\n", argv[0]);
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    std::vector<ku_table::Record> records;
    QString error;
    if (!starter_table::ParseSource(QString::fromUtf8(source.readAll()), records, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(error));
        return 1;
    }
    QSaveFile table(QString::fromLocal8Bit(argv[2]));
    if (!table.open(QIODevice::WriteOnly) || table.write(starter_table::TableImage(records)) < 0 || !table.commit()) {
        std::fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 1;
    }
    std::printf("%s: %zu cables\n", argv[2], records.size());
    return 0;
}
