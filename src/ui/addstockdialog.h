#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace velmora {

class StockLookup;
class WatchList;
struct NameLookupResult;

// The add dialog ("frmAdd", "添加黑马"): the user types a stock code, the dialog looks up its
// name and proposes thresholds 5 % around the current price, and "添加股票" adds the stock to
// the watch list as the three boxes stand, nothing checked. It has no owner window and deletes
// itself when closed, so every opening starts fresh.
class AddStockDialog final : public QWidget
{
    Q_OBJECT

public:
    // The dialog takes the lookup over.
    AddStockDialog(WatchList &list, StockLookup *lookup, const QString &siteDomain);
    ~AddStockDialog() override;

    // Directly below the given frame, left edges aligned, nothing clamped to the screen.
    void placeBelow(const QRect &mainWindowFrame);

    bool lookupRunning() const;

signals:
    // The name lookup wrote its results and enabled the controls again.
    void lookupFinished();
    // One of the three brand labels: the maker's site.
    void siteRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls(const QString &siteDomain);
    void codeEdited();
    void startLookup();
    void showLookup(const NameLookupResult &result);
    void commit();
    bool watchAddButton(QEvent *event);

    WatchList &m_list;
    StockLookup *m_lookup;
    QLineEdit *m_codeEdit = nullptr;
    QLineEdit *m_nameEdit = nullptr;
    QLineEdit *m_takeProfitEdit = nullptr;
    QLineEdit *m_stopLossEdit = nullptr;
    QPushButton *m_addButton = nullptr;

    // The user typed into a threshold box while the lookup was out: the typing wins.
    bool m_takeProfitTypedDuringLookup = false;
    bool m_stopLossTypedDuringLookup = false;
    // A click on the add button that arrived while the lookup had it disabled.
    bool m_pressDuringLookup = false;
    bool m_commitPending = false;
    bool m_committing = false;
};

} // namespace velmora
