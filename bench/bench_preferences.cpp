// Round trip of the settings through the real settings file: loadPreferences then savePreferences,
// as the options sheet's Cancel and OK do.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "platform/posix/file_defaults_store.h"
#include "support/fake_host.h"
#include "module/view/tavrin_screensaver_view.h"

namespace {

void BM_LoadThenSavePreferences(benchmark::State& state) {
    char tmpl[] = "/tmp/tavrin-bench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);

    auto& host = fake::FakeHost::instance();
    host.reset();
    posix::FileDefaultsProvider provider([](const std::string&) {});
    host.defaults = &provider;
    host::installHost(&host);
    auto view = tavrin::Tavrin_ScreenSaverView::create({{0, 0}, {1920, 1080}}, false);
    view->savePreferences();  // start from a file holding all eleven settings

    for (auto _ : state) {
        view->loadPreferences();
        view->savePreferences();
    }
    view.reset();
    host.defaults = &host.defaultsService;
    std::system(("rm -rf '" + dir + "'").c_str());
}
BENCHMARK(BM_LoadThenSavePreferences)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
