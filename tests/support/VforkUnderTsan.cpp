// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into the tests of a ThreadSanitizer build only.
//
// QProcess starts a program with clone(CLONE_VM | CLONE_VFORK). Debian's
// ThreadSanitizer takes every clone for a fork and does its after-fork
// bookkeeping in the child, which with CLONE_VM is the parent's own memory:
// a parent with more than one thread then believes it is a child of a
// threaded fork, stops watching its own calls and dies at its next thread.
// The parent is suspended until a vfork child has exec'd, so handing such a
// clone straight to the C library is what the tests do without the
// sanitizer; any other clone keeps the sanitizer's handling.
#include <cstdarg>
#include <linux/sched.h> // the flags alone: <sched.h> declares clone itself
#include <sys/types.h>

extern "C" {
int __clone(int (*fn)(void *), void *stack, int flags, void *arg, ...);
int __interceptor_clone(int (*fn)(void *), void *stack, int flags, void *arg, pid_t *parentTid, void *tls,
                        pid_t *childTid);

int clone(int (*fn)(void *), void *stack, int flags, void *arg, ...)
{
    va_list more;
    va_start(more, arg);
    pid_t *parentTid = va_arg(more, pid_t *);
    void *tls = va_arg(more, void *);
    pid_t *childTid = va_arg(more, pid_t *);
    va_end(more);
    if ((flags & (CLONE_VM | CLONE_VFORK)) == (CLONE_VM | CLONE_VFORK))
        return __clone(fn, stack, flags, arg, parentTid, tls, childTid);
    return __interceptor_clone(fn, stack, flags, arg, parentTid, tls, childTid);
}
}
