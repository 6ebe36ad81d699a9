// A base for classes that own memory, files or a piece of global state: one object, one owner.
#pragma once

namespace sys {

/// Deriving from NoCopy makes a class neither copyable nor assignable (nor movable, unless it
/// declares its own moves).
class NoCopy {
  public:
    NoCopy(const NoCopy&) = delete;
    NoCopy& operator=(const NoCopy&) = delete;

  protected:
    NoCopy() = default;
    ~NoCopy() = default;
};

} // namespace sys
