#pragma once
// An event slot: empty, or an object together with one of its methods.
// Firing an empty slot does nothing (and answers a value-initialised result).
// Two slots compare equal when they name the same method, whatever the object,
// so a setter can tell "the same handler again" from a new one.

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

namespace framework {

template <typename Signature> class TBoundEvent;

template <typename R, typename... Args> class TBoundEvent<R(Args...)> {
public:
    TBoundEvent() = default;
    TBoundEvent(std::nullptr_t) {}

    template <typename C>
    TBoundEvent(C* object, R (C::*method)(Args...))
        : object_(object), invoke_(&invokeAs<C, R (C::*)(Args...)>) {
        store(method);
    }
    template <typename C>
    TBoundEvent(const C* object, R (C::*method)(Args...) const)
        : object_(const_cast<C*>(object)), invoke_(&invokeAs<const C, R (C::*)(Args...) const>) {
        store(method);
    }

    bool assigned() const { return invoke_ != nullptr; }
    explicit operator bool() const { return assigned(); }
    void* object() const { return object_; }

    R operator()(Args... args) const {
        if (!invoke_) {
            if constexpr (std::is_void_v<R>)
                return;
            else
                return R{};
        }
        return invoke_(object_, method_, std::forward<Args>(args)...);
    }

    friend bool operator==(const TBoundEvent& a, const TBoundEvent& b) {
        return a.invoke_ == b.invoke_ && a.method_[0] == b.method_[0] &&
               a.method_[1] == b.method_[1];
    }

private:
    // A pointer to a member function is two words on this ABI; a class with
    // virtual bases would need more, and is refused at compile time.
    static constexpr std::size_t kMethodSize = sizeof(std::uintptr_t[2]);

    template <typename M> void store(M method) {
        static_assert(sizeof(M) <= kMethodSize, "method pointer too large for a bound event");
        std::memcpy(method_, &method, sizeof(M));
    }

    template <typename C, typename M>
    static R invokeAs(void* object, const std::uintptr_t* bytes, Args... args) {
        M method;
        std::memcpy(&method, bytes, sizeof(M));
        return (static_cast<C*>(object)->*method)(std::forward<Args>(args)...);
    }

    void* object_ = nullptr;
    R (*invoke_)(void*, const std::uintptr_t*, Args...) = nullptr;
    std::uintptr_t method_[2] = {0, 0};
};

// A notify event: the sender only.
using TNotifyEvent = TBoundEvent<void(void* Sender)>;

} // namespace framework
