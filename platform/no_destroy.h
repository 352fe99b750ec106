// Storage for a process-wide object that is built once and never destroyed.
//
// Worker threads may still run while the process exits (exit() or a return from main
// runs static destructors but does not stop other threads). An object that workers
// touch must therefore outlive every worker: it is never torn down, and the process's
// end returns its memory.
#pragma once

#include <new>
#include <utility>

namespace fpm {

template <typename T>
class NoDestroy {
public:
    template <typename... Args>
    explicit NoDestroy(Args &&...args)
    {
        ::new (static_cast<void *>(storage_)) T(std::forward<Args>(args)...);
    }
    NoDestroy(const NoDestroy &) = delete;
    NoDestroy &operator=(const NoDestroy &) = delete;

    T &get() { return *std::launder(reinterpret_cast<T *>(storage_)); }
    T *operator->() { return &get(); }
    T &operator*() { return get(); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace fpm
