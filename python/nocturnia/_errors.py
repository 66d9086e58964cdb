"""The program's kinds of error as exceptions; exit_status is the program's exit status for the kind."""


class Error(Exception):
    """Any error of Nocturnia's, with the program's message."""
    kind = "work"
    exit_status = 1


class UsageError(Error, ValueError):
    """A bad value, label, option or combination of them (exit status 2)."""
    kind = "usage"
    exit_status = 2


class UnknownLabelError(UsageError, KeyError):
    """A label that names no parameter (a usage error, and a KeyError)."""

    def __str__(self):
        return str(self.args[0]) if self.args else ""


class InputError(Error, OSError):
    """An input that cannot be read or is invalid: a document, a plug-in folder (exit status 3)."""
    kind = "input"
    exit_status = 3


class OutputError(Error, OSError):
    """An output that cannot be written (exit status 4)."""
    kind = "output"
    exit_status = 4


class WorkError(Error, RuntimeError):
    """The work failed: a render refused, memory refused (exit status 1)."""
    kind = "work"
    exit_status = 1


class InternalError(Error, RuntimeError):
    """A fault of Nocturnia's own (exit status 70): please report it."""
    kind = "internal"
    exit_status = 70


class Cancelled(Error):
    """The work was stopped because the progress callback returned False."""
    kind = "interrupted"
    exit_status = 130
