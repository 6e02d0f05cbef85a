#pragma once

#include "core/watchentry.h"

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace velmora {

class StockLookup;
struct NameLookupResult;

// The add dialog ("frmAdd", "添加黑马"): the user types a stock code, the dialog looks up its
// name and proposes thresholds 5 % around the current price, and "添加股票" asks for the stock
// to be added as the three boxes stand, nothing checked. It has no owner window and deletes
// itself when closed, so every opening starts fresh.
class AddStockDialog final : public QWidget
{
    Q_OBJECT

public:
    // The dialog takes the lookup over.
    AddStockDialog(StockLookup *lookup, const QString &siteDomain);
    ~AddStockDialog() override;

    // Directly below the given frame, left edges aligned, nothing clamped to the screen.
    void placeBelow(const QRect &mainWindowFrame);

    bool lookupRunning() const;
    // What came of the add it asked for: done closes the dialog; refused gives the controls
    // back with the texts as they were, so the user may try again.
    void addFinished(bool done);

signals:
    // The name lookup wrote its results and enabled the controls again.
    void lookupFinished();
    // One of the three brand labels: the maker's site.
    void siteRequested();
    // "添加股票": the boxes as they stand. addFinished() must follow.
    void addRequested(const velmora::WatchEntry &entry);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls(const QString &siteDomain);
    void codeEdited();
    void startLookup();
    void showLookup(const NameLookupResult &result);
    void commit();
    bool watchAddButton(QEvent *event);

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
