#include "core/thresholdedit.h"

#include <QTest>

using namespace velmora;

class TestThresholdEdit : public QObject
{
    Q_OBJECT

private slots:
    void edit_data();
    void edit();
};

void TestThresholdEdit::edit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("outcome"); // "unchanged", "refused", "negative" or the value stored
    QTest::newRow("a number") << "10.5" << "9" << "10.5";
    QTest::newRow("blanks around removed") << " 11.2\t" << "9" << "11.2";
    QTest::newRow("emptied: no alert on that side") << "" << "9" << "";
    QTest::newRow("only blanks: emptied") << "   " << "9" << "";
    QTest::newRow("a stored text left as it was") << "现价的5%" << "现价的5%" << "unchanged";
    QTest::newRow("the same number with blanks") << " 9 " << "9" << "unchanged";
    QTest::newRow("text") << "现价的6%" << "9" << "refused";
    QTest::newRow("decimal comma") << "10,5" << "9" << "refused";
    QTest::newRow("exponent") << "1e2" << "9" << "refused";
    QTest::newRow("negative number") << "-1" << "" << "negative";
    QTest::newRow("minus zero is zero") << "-0" << "" << "-0";
}

void TestThresholdEdit::edit()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(QString, outcome);
    const ThresholdEdit edit = ReadThresholdEdit(typed.toStdString(), stored.toStdString());
    const QString got = edit.outcome == ThresholdEdit::Outcome::Unchanged  ? "unchanged"
                        : edit.outcome == ThresholdEdit::Outcome::Refused  ? "refused"
                        : edit.outcome == ThresholdEdit::Outcome::Negative ? "negative"
                                                                           : QString::fromStdString(edit.value);
    QCOMPARE(got, outcome);
}

QTEST_GUILESS_MAIN(TestThresholdEdit)
#include "test_thresholdedit.moc"
