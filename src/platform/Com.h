#pragma once
// Per-thread initialisation of the component-object runtime; a no-op where the
// platform has none.

namespace platform {

class IComRuntime {
 public:
  virtual ~IComRuntime() = default;
  virtual void Initialize() = 0;
  virtual void Uninitialize() = 0;
};

}  // namespace platform
