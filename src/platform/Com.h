#pragma once
// Per-thread initialisation of the component-object runtime; a no-op where the
// platform has none.

namespace platform {

class IComRuntime {
 public:
  virtual ~IComRuntime() = default;
  // False when the thread could not enter the runtime (it is in another
  // threading model already): then it must not leave it either.
  virtual bool Initialize() = 0;
  virtual void Uninitialize() = 0;
};

}  // namespace platform
