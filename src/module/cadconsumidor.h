/*
 * libcadconsumidor: the consumer registration screen of the point of sale, as a module a host loads.
 *
 * One call opens the screen modally on the calling thread, which must be the host's user-interface
 * thread, and returns when the operator leaves or a consumer has been saved.
 *
 * Qt: when the process has no Qt application object yet, the first call creates a QApplication and
 * keeps it for the life of the process (the host's C locale is put back afterwards). A host that has
 * its own Qt application must have created a QApplication (widgets), not a QCoreApplication or a
 * QGuiApplication. With no display (neither DISPLAY nor WAYLAND_DISPLAY nor QT_QPA_PLATFORM set, or an
 * X display that does not answer) the call reports "no display" and returns 0 instead of letting Qt
 * abort the process.
 *
 * The module stays mapped after dlclose(): Qt keeps pointers into it (registered types, strings).
 */
#ifndef CADCONSUMIDOR_H
#define CADCONSUMIDOR_H

#if defined(__GNUC__)
#define CADCONS_EXPORT __attribute__((visibility("default")))
#else
#define CADCONS_EXPORT
#endif

#ifdef __cplusplus
#include <string>
extern "C" {
#endif

/*
 * Runs one registration.
 *
 * code, name, customer: in-out UTF-8 strings, each the address of the caller's `char*`.
 *   On entry, *code is the consumer code to open, *name the consumer name, *customer the customer code
 *   (empty: the customer of the host's parameter file). Each is a NUL-terminated UTF-8 string, or NULL
 *   for an empty one. The module only reads them: it never writes into, frees or keeps the caller's
 *   strings, so keep your own pointer if you must free the old string after the call.
 *   On return, every one of the three that is not NULL has had *p replaced by a new string that the
 *   module allocated; free each of them with CadConsumidorFree(). Nothing is ever cut: the strings are
 *   as long as they need to be.
 *     code, name: what the screen's code and name fields show at the end of the call;
 *     customer:   the customer the consumer was registered under (empty after the operator left with
 *                 the exit button).
 *   When the call fails before the screen is shown (invalid argument, no display, a database that
 *   cannot be reached, ...) each comes back as a copy of what went in (NULL in: "" out). *p is NULL on
 *   return only when memory ran out.
 * mode: "B" (the code is typed on the screen and a new consumer is always registered) or any other
 *   text; NULL counts as "".
 *
 * Returns 1 when a consumer was saved during the call, 0 otherwise: the operator left, or the call
 * failed. A failure is shown to the operator when the screen can show it (else written to standard
 * error) and its text is kept for CadConsumidorLastError(). Failures include: code, name or customer
 * being a NULL `char**`, any string not valid UTF-8, a call made while the screen of another call is
 * open, a call from a thread other than the Qt application's, no display, a database that cannot be
 * reached. No C++ exception ever leaves this function.
 */
CADCONS_EXPORT int CriaCadConsumidor(char** code, char** name, char** customer, const char* mode);

/* Frees a string that CriaCadConsumidor() handed back. NULL is ignored. */
CADCONS_EXPORT void CadConsumidorFree(char* text);

/*
 * The failure of the last CriaCadConsumidor() call made on this thread, as UTF-8; "" when that call
 * ended normally (saved or left). Owned by the module: valid until the next call on this thread.
 */
CADCONS_EXPORT const char* CadConsumidorLastError(void);

#ifdef __cplusplus
} /* extern "C" */

namespace cadcons {

// The same call for C++ hosts: UTF-8 std::strings, changed in place as the C call describes (left as
// they were when the call fails before the screen exists). A string holding a NUL character is
// refused. Never throws.
CADCONS_EXPORT bool CriaCadConsumidor(std::string& code, std::string& name, std::string& customer,
                                      const std::string& mode) noexcept;

} // namespace cadcons
#endif

#endif /* CADCONSUMIDOR_H */
