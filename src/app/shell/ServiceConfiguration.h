// Where the application's network services live. No request leaves the machine unless a service
// base URL has been configured: with none, the tutorials index is not fetched and the first-launch
// notice is not sent.
#pragma once

#include <optional>

#include <QUrl>

namespace korvane {

// The user-defaults key and the environment variable naming the service base URL; the
// environment wins.
inline constexpr const char* kServiceBaseUrlDefaultsKey = "serviceBaseURL";
inline constexpr const char* kServiceBaseUrlEnvironmentVariable = "KORVANE_SERVICE_URL";

// The service base URL: KORVANE_SERVICE_URL when set and not empty, else the user default
// "serviceBaseURL" when not empty, else none. A value that is not an absolute http(s) URL counts
// as none (an unusable environment value does not fall back to the user default). Main thread.
std::optional<QUrl> korvaneServiceBaseUrl();

// The address of path (which starts with "/") under the service base URL, e.g.
// "/tutorials/korvane/index.plist"; none without a base URL. Main thread.
std::optional<QUrl> korvaneServiceUrl(const QString& path);

// Runs the first-launch check of the graphics helper library against UserDefaults::standard() and
// the service base URL; does nothing at all without a base URL. Main thread, once at start-up.
void runFirstLaunchCheck();

}  // namespace korvane
