#pragma once

#include <sys/acl.h>

#include <cerrno>

namespace zov {

// The errors of a file system that keeps no ACLs.
inline bool AclUnsupported(int code) { return code == ENOTSUP || code == EOPNOTSUPP; }

// An ACL of libacl, freed with the object.
class AclHolder {
  public:
    explicit AclHolder(acl_t acl) : acl_(acl) {}
    ~AclHolder() {
        if (acl_ != nullptr) acl_free(acl_);
    }
    AclHolder(const AclHolder&) = delete;
    AclHolder& operator=(const AclHolder&) = delete;
    acl_t& get() { return acl_; }

  private:
    acl_t acl_;
};

}  // namespace zov
