#pragma once

#include <QUrl>

#include <functional>

namespace velmora {

// Opens url in the user's web browser, without a shell or a command line in between.
// Returns false when no browser could be started; callers that define no reaction ignore it.
bool OpenInBrowser(const QUrl &url);

// Tests see the addresses instead of starting a browser (nullptr restores the browser).
using OpenUrlHook = std::function<bool(const QUrl &url)>;
void SetOpenUrlHookForTests(OpenUrlHook hook);

} // namespace velmora
