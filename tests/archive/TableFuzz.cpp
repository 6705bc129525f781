#include "TableFuzz.h"

#include "archive/DbfFile.h"
#include "archive/TQuery.h"
#include "archive/TableSchema.h"

#include <QDir>
#include <QFile>

using namespace torv;

namespace torvtest {

namespace {

constexpr int kMaxStatements = 16;

int Run(TableEngine &engine, const QString &dir, const QString &sql) {
    try {
        engine.execute(dir, sql);
        return 1;
    } catch (const TableError &) {
        return 0;
    }
}

}  // namespace

void ResetScratchTables(TableEngine &engine, const QString &dir) {
    engine.forget(dir);
    for (const QString &name : ScratchTables())
        QFile::remove(dir + name);
    DbfFile::Create(dir + ScratchTables()[0], FamilyColumns(TableFamily::GVRas));
    DbfFile::Create(dir + ScratchTables()[1], ParamArchiveColumns());
    DbfFile::Create(dir + ScratchTables()[2], RegistryColumns());
    for (int h = 0; h < 6; ++h)
        Run(engine, dir,
            QStringLiteral("INSERT Into T1h.dbf (SERIAL, DT, H, P, T, VP, VC, NPIT, NDAT, VIZD) Values ('1', "
                           "'0%1.01.2020', '%2', '0.1', '2931', '0.5', '1.5', '0', '0', '0')")
                .arg(1 + h % 3)
                .arg(h));
    Run(engine, dir,
        QStringLiteral("INSERT Into P.dbf (F_1BAIT, F_2BAIT, F_3, F_4, F_5, F_6, F_7) Values ('P', 'я', 'R', "
                       "'03.03.2006 14:5', '0.68', '0.675', ' ')"));
    Run(engine, dir, QStringLiteral("INSERT Into R.dbf (ID, SERIAL, US) Values ('1', '1234', 'Котельная')"));
}

int FuzzOneInput(TableEngine &engine, const QString &dir, const QByteArray &input) {
    int ran = 0;
    if (input.isEmpty())
        return ran;
    const QByteArray body = input.mid(1);
    if ((uint8_t(input[0]) & 1) == 0) {
        const QList<QByteArray> lines = body.split('\n');
        for (int i = 0; i < lines.size() && i < kMaxStatements; ++i) {
            const QString sql = QString::fromUtf8(lines[i]);
            ran += Run(engine, dir, sql);
            // The same text as the record filter of an open result.
            TQuery q(engine);
            q.setDatabaseName(dir);
            q.setSql(QStringLiteral("select * from T1h.dbf"));
            q.setFilter(sql);
            q.setFiltered(true);
            try {
                q.open();
                for (q.first(); !q.eof(); q.next())
                    q.fieldByName(QStringLiteral("DT")).asDate();
            } catch (const TableError &) {}
        }
        return ran;
    }

    // A table file of arbitrary bytes.
    int count = 0;
    try {
        DbfFile::CheckHeader(body, body.size(), FuzzedFile(), &count);
    } catch (const TableError &) {}
    QFile f(dir + FuzzedFile());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return ran;
    f.write(body);
    f.close();
    engine.forget(dir);
    static const char *const kStatements[] = {
        "select * from F.dbf",
        "select * from F.dbf WHERE DT ='01.01.2020' AND H = '1'",
        "select * from F.dbf where SERIAL = 'x' or F_7 <> ''",
        "delete from F.dbf WHERE DT ='01.01.2020' AND H = '1'",
        "INSERT Into F.dbf (SERIAL, DT, H) Values ('1', '01.01.2020', '1')",
        "UPDATE F.dbf SET H = '2' Where DT = '01.01.2020' AND H = '1'",
        "delete from F.dbf where H = '2'",
        "INSERT Into F.dbf (F_1BAIT, F_7) Values ('P', 'Канал')",
        "delete from F.dbf",
        "select * from F.dbf",
    };
    for (const char *sql : kStatements) {
        ran += Run(engine, dir, QString::fromUtf8(sql));
        try {
            engine.flush();
        } catch (const TableError &) {}
    }
    engine.forget(dir);
    return ran;
}

}  // namespace torvtest
