#include "window/WindowModule.h"

#include <dlfcn.h>

#include <string>
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

// The module runs with every right of the job, so it is taken only as its installer left it
// (platform::openInstalledFile), and a transfer never writes over it (the job leaves it out as
// one of the program's own files). The first place that holds it decides; "" when none does.
struct FoundModule {
  std::string path;
  platform::FileDescriptor file;
  std::string problem;
};

FoundModule findModule() {
  std::string programDirectory;
  try {
    programDirectory = platform::executableDirectory();
  } catch (const std::exception&) {
    return {};  // a program that cannot tell where it lives finds no module: the console runs
  }
  for (const std::string& path : windowModulePaths(programDirectory)) {
    platform::InstalledFile found = platform::openInstalledFile(path);
    if (!found.missing) return {path, std::move(found.file), found.problem};
  }
  return {};
}

// Loads the very file that was checked, whatever has been put under its name since.
Module loadModule(const FoundModule& found, std::string& problem) {
  const std::string opened = "/proc/self/fd/" + std::to_string(found.file.get());
  Module module(::dlopen(opened.c_str(), RTLD_NOW | RTLD_LOCAL));
  if (!module) {
    const char* error = ::dlerror();
    problem = "okenskega modula " + found.path + " ni mogoče naložiti (" +
              std::string(error != nullptr ? error : "") + ")";
  }
  return module;
}

}  // namespace

std::unique_ptr<form::View> openWindow(form::FrmUpdate& form, int argc, char** argv,
                                       std::string& problem) {
  const FoundModule found = findModule();
  if (found.path.empty()) {
    problem = std::string("okenski modul ") + std::string(kWindowModuleName) +
              " ni nameščen; prinese ga paket skyhaul-okno";
    return nullptr;
  }
  if (!found.file.isOpen()) {
    problem = "okenskega modula " + found.path + " ni varno naložiti: " + found.problem;
    return nullptr;
  }
  Module module = loadModule(found, problem);
  if (!module) return nullptr;
  auto* open = reinterpret_cast<OpenWindow*>(::dlsym(module.get(), kOpenWindow));
  if (open == nullptr) {
    problem = "okenski modul " + found.path + " nima funkcije " + kOpenWindow;
    return nullptr;
  }
  std::unique_ptr<form::View> view = open(form, argc, argv, problem);
  if (!view) return nullptr;
  return std::make_unique<ModuleView>(std::move(module), std::move(view));
}

}  // namespace skyhaul::window
