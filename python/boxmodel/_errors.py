"""The exceptions of the boxmodel package.

Their messages are the command line's, without its "boxmodel: " prefix:
they name the file (or the key's origin), the line and the key, and what
was expected there.
"""


class BoxModelError(Exception):
    """Base of every error the model reports."""


class ScenarioError(BoxModelError, ValueError):
    """A scenario that cannot be run: an unknown key, a value of the wrong
    type or out of its range."""


class InputFileError(BoxModelError, OSError):
    """An input file (site parameters, site records, scenario file) that is
    missing or holds a value that is not possible."""


class OutputFileError(BoxModelError, OSError):
    """An output that could not be written (only with write_outputs=True)."""


class IntegrationError(BoxModelError, ArithmeticError):
    """The chemistry raised an invalid operation, a division by zero or an
    overflow: the run is stopped where the program stops."""


class IntegrationWarning(RuntimeWarning):
    """The integrator gave up on a step; the run carries on with its state,
    as the program does, and the integrator's report is in the message."""
