#include "link/recordfile.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace talvex::link;

class TestRecordFile : public QObject {
    Q_OBJECT

private slots:
    void dateInTheFileName_data();
    void dateInTheFileName();
    void nameUnderTheSystemLocale();
};

void TestRecordFile::dateInTheFileName_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    // 9 March 2024 as each locale writes its short date, "/" turned into "-".
    QTest::newRow("en_US: slashes") << "en_US"
                                    << "3-9-24";
    QTest::newRow("de_DE: dots stay") << "de_DE"
                                      << "09.03.24";
    QTest::newRow("C: numeric, no blanks") << "C"
                                           << "2024-03-09";
}

void TestRecordFile::dateInTheFileName() {
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QCOMPARE(fileDateText(QDate(2024, 3, 9), QLocale(locale)), text);
}

// Run by the suite under LC_ALL=en_US.UTF-8 and LC_ALL=C as well.
void TestRecordFile::nameUnderTheSystemLocale() {
    const QString name = QLocale::system().name();
    QString expected;
    if (name == QLatin1String("en_US"))
        expected = QStringLiteral("KVR_Record3-9-24.txt");
    else if (name == QLatin1String("C"))
        expected = QStringLiteral("KVR_Record2024-03-09.txt");
    else
        QSKIP(qPrintable(QStringLiteral("no expected name for the locale ") + name));

    QTemporaryDir folder;
    setRecordFolder(folder.path());
    const QString path = recordFilePath(QDate(2024, 3, 9));
    QCOMPARE(QFileInfo(path).fileName(), expected);
    // The name is one a file can have: the header goes in.
    QVERIFY(startRecordFile(path, QStringLiteral("KVR-690")));
    QVERIFY(QFileInfo(path).size() > 0);
    setRecordFolder(QString());
}

QTEST_GUILESS_MAIN(TestRecordFile)
#include "test_recordfile.moc"
