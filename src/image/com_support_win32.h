#pragma once

#include <objbase.h>

#include <utility>

namespace pushnote::image {

// Joins COM on the host's thread for one step. A host that initialised COM in
// the other threading mode (RPC_E_CHANGED_MODE) keeps its apartment, which
// serves us as well; only a successful initialisation of ours is undone.
class ComApartment {
public:
    ComApartment() noexcept : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    explicit operator bool() const noexcept {
        return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE;
    }

private:
    HRESULT result_;
};

// Owns one reference to a COM object.
template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (object_) object_->Release();
    }

    Interface* operator->() const noexcept { return object_; }
    Interface* get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    // For calls that hand out a new reference.
    Interface** Receive() noexcept {
        if (object_) std::exchange(object_, nullptr)->Release();
        return &object_;
    }
    void** ReceiveVoid() noexcept { return reinterpret_cast<void**>(Receive()); }

private:
    Interface* object_ = nullptr;
};

}  // namespace pushnote::image
