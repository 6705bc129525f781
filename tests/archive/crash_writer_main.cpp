// Child process of the crash test: writes steam records through the archive writer in an endless
// stream of passes over the same hourly keys and acknowledges each write on stdout ("key pass")
// once it has returned. The test kills it at some moment and then inspects the table.
//   table_crash_writer <data dir> <device number> <keys> <kind letter: h or d>
#include "app/App.h"
#include "base/Formats.h"
#include "archive/ArchiveTables.h"

#include <QCoreApplication>
#include <cstdio>

using namespace torv;

int main(int argc, char **argv) {
    QCoreApplication qapp(argc, argv);
    FixProcessFormats();
    if (argc < 5)
        return 2;
    VirtualClock clock;
    ScriptedPrompts prompts;
    LinkStatus status;
    RecordingProcessControl processes;
    App app(QString::fromLocal8Bit(argv[1]), Seams{&clock, &prompts, &status, &processes});
    app.settings.setValueDefaults();
    app.settings.setDataDir(QString::fromLocal8Bit(argv[1]));
    ArchiveQueries queries(app.tables);
    ArchiveTableWriter writer(app, queries);
    const QString device = QString::fromLocal8Bit(argv[2]);
    const int keys = QByteArray(argv[3]).toInt();
    const char kind = argv[4][0] == kDaily ? kDaily : kHourly;
    const QDate start(2024, 1, 1);
    for (int pass = 0;; ++pass) {
        for (int k = 0; k < keys; ++k) {
            ArchivePass p;
            p.deviceNumber = device;
            p.channel = 1;
            p.kind = kind;
            p.recordDate = start.addDays(kind == kHourly ? k / 24 : k);
            p.hour = kind == kHourly ? k % 24 : 0;
            ArchiveValues v;
            v.T = 1000 + pass;
            v.M = k;
            v.Q = pass * 0.5;
            try {
                writer.WriteRecord(TableFamily::Par, v, p);
            } catch (const TableError &e) {
                std::fprintf(stderr, "%s\n", e.text().toUtf8().constData());
                return 1;
            }
            std::printf("%d %d\n", k, pass);
            std::fflush(stdout);
        }
    }
}
