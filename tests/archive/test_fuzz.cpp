// Bounded random driver: random and mutated statements, and random or corrupted table files, fed
// to the engine with a fixed seed. Nothing but TableError may come out, nothing may hang, and the
// engine's remembered state must always agree with the files.
#include "TableFuzz.h"
#include "TestUtil.h"

#include "archive/DbfFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace torv;

namespace {

class StatementMaker {
public:
    explicit StatementMaker(uint32_t seed) : rng_(seed) {}

    QString make() {
        table_ = pick(10) ? pick(3) : 3;  // mostly a scratch table, sometimes none of them
        QString s;
        switch (pick(6)) {
        case 0: s = kw("select") + QStringLiteral(" * ") + kw("from") + ' ' + table() + where(); break;
        case 1: s = kw("delete") + ' ' + kw("from") + ' ' + table() + where(); break;
        case 2: {
            QStringList cols, vals;
            for (int i = 0, n = 1 + pick(4); i < n; ++i) {
                const int c = columnIndex();
                if (cols.contains(column(c)) && pick(4))
                    continue;
                cols.append(column(c));
                vals.append(literal(c));
            }
            if (pick(20) == 0)
                vals.removeLast();
            s = kw("INSERT") + ' ' + kw("Into") + ' ' + table() + QStringLiteral(" (") +
                cols.join(QStringLiteral(", ")) + QStringLiteral(") ") + kw("Values") + QStringLiteral(" (") +
                vals.join(QStringLiteral(", ")) + ')';
            break;
        }
        case 3: {
            QStringList pairs;
            for (int i = 0, n = 1 + pick(3); i < n; ++i) {
                const int c = columnIndex();
                pairs.append(column(c) + QStringLiteral(" = ") + literal(c));
            }
            s = kw("UPDATE") + ' ' + table() + ' ' + kw("SET") + ' ' + pairs.join(QStringLiteral(", ")) + where();
            break;
        }
        case 4: s = condition(0); break;
        default:
            if (pick(3)) {
                s = kw("select") + QStringLiteral(" * ") + kw("from") + ' ' + table();
            } else {
                QByteArray junk;
                for (int i = 0, n = pick(60); i < n; ++i)
                    junk.append(char(pick(256)));
                s = QString::fromUtf8(junk);
            }
        }
        return mutate(s);
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

private:
    enum Kind { Date, Number, Text };
    struct Column {
        const char *name;
        Kind kind;
    };
    // Columns of the scratch tables T1h, P and R; the fourth set belongs to no table.
    const std::vector<Column> &columns(int table) const {
        static const std::vector<Column> sets[4] = {
            {{"DT", Date},
             {"H", Number},
             {"P", Number},
             {"T", Number},
             {"VC", Number},
             {"npit", Number},
             {"SERIAL", Text}},
            {{"F_1BAIT", Text}, {"F_2BAIT", Text}, {"F_3", Text}, {"F_4", Text}, {"f_7", Text}},
            {{"ID", Text}, {"SERIAL", Text}, {"US", Text}, {"telefon", Text}},
            {{"NOPE", Text}, {"DT", Date}, {"F_9", Number}}};
        return sets[table];
    }
    int columnIndex() { return pick(12) ? pick(int(columns(table_).size())) : -1; }
    QString column(int c) { return c < 0 ? QStringLiteral("NOPE") : QLatin1String(columns(table_)[c].name); }

    QString kw(const char *word) {
        QString w = QLatin1String(word);
        for (QChar &c : w)
            if (pick(2))
                c = c.isUpper() ? c.toLower() : c.toUpper();
        return w;
    }
    QString table() {
        static const char *const names[4][3] = {{"T1h.dbf", "t1H", "\"T1h.dbf\""},
                                                {"P.dbf", "P.DBF", "p"},
                                                {"R", "R.dbf", "r.DbF"},
                                                {"Missing.dbf", "F.dbf", "x"}};
        return QLatin1String(names[table_][pick(3)]);
    }
    QString literal(int c) {
        static const char *const dates[] = {"'01.01.2020'", "'02.01.2020'", "'3.1.2020'",
                                            "''",           "'31.02.2020'", "'2020-01-01'"};
        static const char *const numbers[] = {"'1'", "'0'", "'-1'", "'0.19613'", "'23'",
                                              "''",  "5",   "-0.5", "'1e30'",    "'nan'"};
        static const char *const texts[] = {"'P'",
                                            "'я'",
                                            "'O''Brien'",
                                            "'Котельная №1'",
                                            "' '",
                                            "''",
                                            "'\"'",
                                            "'12345678901234567890123456789012345'",
                                            "'"
                                            "\xe6\xbc\xa2"
                                            "'"};
        const Kind kind = c < 0 || pick(10) == 0 ? Kind(pick(3)) : columns(table_)[c].kind;
        switch (kind) {
        case Date: return QString::fromUtf8(dates[pick(6)]);
        case Number: return QString::fromUtf8(numbers[pick(10)]);
        default: return QString::fromUtf8(texts[pick(9)]);
        }
    }
    QString condition(int depth) {
        if (depth < 4 && pick(3) == 0) {
            const QString inner = condition(depth + 1) + ' ' + kw(pick(2) ? "and" : "or") + ' ' + condition(depth + 1);
            return pick(2) ? QStringLiteral("(") + inner + ')' : inner;
        }
        static const char *const ops[] = {"=", "<>", "<", "<=", ">", ">=", "!=", "=="};
        const int c = columnIndex();
        if (pick(8) == 0)
            return literal(c) + ' ' + QLatin1String(ops[pick(8)]) + ' ' + column(c);
        return column(c) + ' ' + QLatin1String(ops[pick(7)]) + ' ' + literal(c);
    }
    QString where() {
        if (pick(3) == 0)
            return {};
        return ' ' + kw("where") + ' ' + condition(0);
    }
    QString mutate(QString s) {
        if (s.isEmpty() || pick(5))
            return s;
        for (int i = 0, n = 1 + pick(3); i < n && !s.isEmpty(); ++i) {
            const int at = pick(int(s.size()));
            switch (pick(4)) {
            case 0: s.remove(at, 1 + pick(4)); break;
            case 1: s.insert(at, QChar(QLatin1Char("'()=<>,*;\" \n"[pick(12)]))); break;
            case 2: s[at] = QChar(ushort(pick(0x500))); break;
            default: s.insert(at, QString(70 + pick(20), QLatin1Char('('))); break;
            }
        }
        return s;
    }

    std::mt19937 rng_;
    int table_ = 0;
};

// The engine's remembered state agrees with the files: a fresh engine reads the same rows.
void ExpectEngineMatchesFiles(TableEngine &engine, const QString &dir) {
    engine.flush();
    for (const QString &name : torvtest::ScratchTables()) {
        const QueryResult cached = engine.execute(dir, QStringLiteral("select * from ") + name);
        TableEngine fresh;
        const QueryResult read = fresh.execute(dir, QStringLiteral("select * from ") + name);
        ASSERT_EQ(cached.rows.size(), read.rows.size()) << name.toStdString();
        for (size_t i = 0; i < cached.rows.size(); ++i) {
            EXPECT_EQ(cached.rows[i].slot, read.rows[i].slot);
            EXPECT_EQ(cached.rows[i].raw, read.rows[i].raw);
        }
        // The key look-up finds exactly what a scan finds.
        if (name == torvtest::ScratchTables()[0]) {
            for (int day = 1; day <= 3; ++day) {
                const QString where = QStringLiteral(" where DT = '0%1.01.2020'").arg(day);
                const QString scan = QStringLiteral(" where DT >= '0%1.01.2020' and DT <= '0%1.01.2020'").arg(day);
                EXPECT_EQ(engine.execute(dir, QStringLiteral("select * from T1h.dbf") + where).rows.size(),
                          fresh.execute(dir, QStringLiteral("select * from T1h.dbf") + scan).rows.size());
            }
        }
    }
}

QByteArray Corrupt(const QByteArray &good, std::mt19937 &rng) {
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    QByteArray b = good;
    switch (pick(6)) {
    case 0:  // bytes of the header and column descriptors
        for (int i = 0, n = 1 + pick(6); i < n; ++i)
            b[pick(std::min<int>(int(b.size()), 200))] = char(pick(256));
        break;
    case 1: {  // the numbers of the header
        const int at = std::vector<int>{4, 5, 6, 7, 8, 9, 10, 11}[pick(8)];
        b[at] = char(pick(256));
        break;
    }
    case 2: b.truncate(pick(int(b.size()) + 1)); break;
    case 3:
        for (int i = 0, n = pick(300); i < n; ++i)
            b.append(char(pick(256)));
        break;
    case 4:  // record bytes
        for (int i = 0, n = 1 + pick(20); i < n; ++i)
            b[pick(int(b.size()))] = char(pick(256));
        break;
    default:
        b.clear();
        for (int i = 0, n = pick(600); i < n; ++i)
            b.append(char(pick(256)));
    }
    return b;
}

}  // namespace

TEST(TableFuzz, RandomStatementsOnlyRaiseTableErrors) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QLatin1Char('/');
    TableEngine engine;
    torvtest::ResetScratchTables(engine, dir);
    StatementMaker maker(4242);
    QElapsedTimer timer;
    timer.start();
    int statements = 0, ran = 0;
    for (int i = 0; i < 4000 && timer.elapsed() < 60000; ++i) {
        QByteArray input(1, char(2 * maker.pick(100)));
        for (int n = 0, lines = 1 + maker.pick(3); n < lines; ++n, ++statements)
            input += maker.make().toUtf8() + '\n';
        try {
            ran += torvtest::FuzzOneInput(engine, dir, input);
        } catch (const std::exception &e) {
            FAIL() << "input " << i << ": " << e.what() << "\n" << input.toStdString();
        }
        if (i % 250 == 249) {
            ExpectEngineMatchesFiles(engine, dir);
            if (HasFailure())
                FAIL() << "after input " << i;
            torvtest::ResetScratchTables(engine, dir);
        }
    }
    // The statements must reach the tables, not only the parser.
    EXPECT_GT(ran, statements / 5) << ran << " of " << statements;
}

TEST(TableFuzz, CorruptedTableFilesOnlyRaiseTableErrors) {
    QTemporaryDir tmp;
    const QString dir = tmp.path() + QLatin1Char('/');
    TableEngine engine;
    torvtest::ResetScratchTables(engine, dir);
    QList<QByteArray> seeds;
    for (const QString &name : torvtest::ScratchTables())
        seeds.append(torvtest::ReadAll(dir + name));
    std::mt19937 rng(777);
    QElapsedTimer timer;
    timer.start();
    int ran = 0;
    for (int i = 0; i < 1500 && timer.elapsed() < 60000; ++i) {
        const QByteArray file = Corrupt(seeds[i % seeds.size()], rng);
        try {
            ran += torvtest::FuzzOneInput(engine, dir, QByteArray(1, '\x01') + file);
        } catch (const std::exception &e) {
            FAIL() << "file " << i << ": " << e.what();
        }
    }
    // Many damaged files are still readable tables and get changed.
    EXPECT_GT(ran, 1500);
}
