// Byte buffers of the archive's engines.
#pragma once

#include <memory>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace kelvora::archive {

// An allocator whose resize leaves new elements uninitialised: for buffers that are written over
// at once (zeroing them first took a noticeable part of the packing time).
template <typename T, typename Base = std::allocator<T>>
class UninitialisedAllocator : public Base {
    using Traits = std::allocator_traits<Base>;

  public:
    template <typename U>
    struct rebind {
        using other = UninitialisedAllocator<U, typename Traits::template rebind_alloc<U>>;
    };
    using Base::Base;
    template <typename U>
    void construct(U* p) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        Traits::construct(static_cast<Base&>(*this), p, std::forward<Args>(args)...);
    }
};

using Bytes = std::vector<unsigned char, UninitialisedAllocator<unsigned char>>;

inline std::string_view viewOf(const Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

}  // namespace kelvora::archive
