#include "window/WindowModule.h"

#include <dlfcn.h>

#include <filesystem>
#include <utility>

#include "SkyhaulModule.h"
#include "platform/ProgramLocation.h"

namespace skyhaul::window {
namespace {

struct CloseModule {
  void operator()(void* module) const { ::dlclose(module); }
};
using Module = std::unique_ptr<void, CloseModule>;

// The window with the module its code lives in. Members end in reverse order, so the module
// is closed only after the view is gone.
class ModuleView final : public form::View {
 public:
  ModuleView(Module module, std::unique_ptr<form::View> view)
      : module_(std::move(module)), view_(std::move(view)) {}

  void show() override { view_->show(); }
  void yield() override { view_->yield(); }
  void yieldBeforeWait() override { view_->yieldBeforeWait(); }
  bool isMinimized() const override { return view_->isMinimized(); }
  std::string inputBox(const std::string& prompt, const std::string& title) override {
    return view_->inputBox(prompt, title);
  }
  void reportUnhandledError(const std::string& message) override {
    view_->reportUnhandledError(message);
  }
  void notice(const std::string& line) override { view_->notice(line); }
  void fieldChanged(form::FieldId field) override { view_->fieldChanged(field); }

 private:
  Module module_;
  std::unique_ptr<form::View> view_;
};

// Beside the program first (a build folder), then where the package installs it; "" when
// neither holds it.
std::filesystem::path findModule() {
  try {
    const std::filesystem::path program = platform::executableDirectory();
    for (const auto& path :
         {program / kWindowModuleName, program / kWindowModuleFolder / kWindowModuleName}) {
      if (std::filesystem::exists(path)) return path;
    }
  } catch (const std::exception&) {
    // A program that cannot tell where it lives finds no module: the console runs.
  }
  return {};
}

}  // namespace

std::unique_ptr<form::View> openWindow(form::FrmUpdate& form, int argc, char** argv,
                                       std::string& problem) {
  const std::filesystem::path path = findModule();
  if (path.empty()) {
    problem = std::string("okenski modul ") + std::string(kWindowModuleName) +
              " ni nameščen; prinese ga paket skyhaul-okno";
    return nullptr;
  }
  Module module(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!module) {
    problem = std::string("okenskega modula ni mogoče naložiti: ") + ::dlerror();
    return nullptr;
  }
  auto* open = reinterpret_cast<OpenWindow*>(::dlsym(module.get(), kOpenWindow));
  if (open == nullptr) {
    problem = "okenski modul " + path.string() + " nima funkcije " + kOpenWindow;
    return nullptr;
  }
  std::unique_ptr<form::View> view = open(form, argc, argv, problem);
  if (!view) return nullptr;
  return std::make_unique<ModuleView>(std::move(module), std::move(view));
}

}  // namespace skyhaul::window
