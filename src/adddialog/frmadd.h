#pragma once

#include "platform/quotefetcher.h"

#include <QPointer>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class Form1;
class LinkLabel;

// frmAdd, "添加黑马": the user types a stock code, the dialog looks up its name and proposes
// thresholds 5 % around the current price, and "添加股票" adds the stock to the list and the
// files. It has no owner window and deletes itself when closed, so every opening starts fresh.
class FrmAdd : public QWidget
{
    Q_OBJECT

public:
    explicit FrmAdd(Form1 &form);
    ~FrmAdd() override;

    bool lookupRunning() const { return m_lookup.has_value(); }

signals:
    // The name lookup wrote its results and enabled the controls again.
    void lookupFinished();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void formLoad();
    void text1Change();
    void text1LostFocus();
    void lookupAnswered(QuoteFetcher::Ticket ticket, const FetchResult &result);
    void command1Click();
    void openSite();
    bool watchCommand1(QEvent *event);

    QPointer<Form1> m_form;
    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QLabel *m_label3 = nullptr;
    QLabel *m_label4 = nullptr;
    LinkLabel *m_label5 = nullptr;
    LinkLabel *m_label6 = nullptr;
    LinkLabel *m_label7 = nullptr;
    QLabel *m_label8 = nullptr;
    QLineEdit *m_text1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QLineEdit *m_text4 = nullptr;
    QLineEdit *m_text5 = nullptr;
    QPushButton *m_command1 = nullptr;
    QuoteFetcher *m_inet1 = nullptr;

    std::optional<QuoteFetcher::Ticket> m_lookup;
    // The user typed into a threshold box while the lookup was out: the typing wins.
    bool m_text4EditedDuringLookup = false;
    bool m_text5EditedDuringLookup = false;
    // A click on Command1 that arrived while the lookup had it disabled.
    bool m_pressDuringLookup = false;
    bool m_commitPending = false;
    bool m_committing = false;
};

} // namespace velmora
