#pragma once

#include <QObject>
#include <QUrl>

namespace velmora {

// One open chart viewer window llq. It exists from its first use until the user closes it.
class ViewerInstance : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Show: modeless, without owner, brought to the front.
    virtual void show() = 0;
    // Navigate its WebBrowser1 to url. Calls arriving before the viewer is ready are kept and
    // delivered in order.
    virtual void navigate(const QUrl &url) = 0;
    // Discreet mode: the window out of sight, then back when it was showing.
    virtual void setDiscreet(bool discreet) { Q_UNUSED(discreet); }

signals:
    // The user closed the window (or the viewer ended after it had been shown).
    void closed();
    // The viewer could not be started at all (no browser engine, no window); lastUrl is the
    // last address it was asked to show, empty when none.
    void unavailable(const QUrl &lastUrl);
    // A page finished loading in the viewer, or failed to.
    void pageLoaded(const QUrl &url, bool ok);
};

// Creates chart viewers. The real one starts a viewer process of ours; tests use a double.
class ViewerLauncher
{
public:
    virtual ~ViewerLauncher() = default;
    // False when there is no viewer to start (not built, not installed).
    virtual bool available() const = 0;
    // A new viewer, owned by parent; its window appears on its first show().
    virtual ViewerInstance *launch(QObject *parent) = 0;
};

} // namespace velmora
