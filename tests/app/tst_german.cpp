#include "batch/BatchEncoder.h"
#include "platform/LocalizedStrings.h"
#include "support/widgets/BatchFixture.h"

#include <QPushButton>
#include <QtTest>

// A batch window opened under German shows German: its title from the code's table, its
// controls' texts, tooltips and accessible names from the window description.
class GermanTest : public QObject
{
    Q_OBJECT

  private slots:
    void batchWindowIsGerman()
    {
        QVERIFY(installTranslation(QLocale(QStringLiteral("de_DE"))));
        BatchFixture fixture(false);
        BatchEncoder *batch = fixture.batchWith({});
        QPushButton *encode = BatchFixture::button(batch, "encodeButton");
        QVERIFY(encode);
        QCOMPARE(encode->window()->windowTitle(), QStringLiteral("Stapelkodierung"));
        QCOMPARE(encode->text(), QStringLiteral("&Kodieren"));
        QCOMPARE(encode->accessibleName(), QStringLiteral("Kodieren"));
        QCOMPARE(encode->toolTip(), QStringLiteral("Jede Datei der Liste in den Zielordner kodieren."));
        QVERIFY(BatchFixture::closeEverything());
    }
};

QTEST_MAIN(GermanTest)
#include "tst_german.moc"
