"""Nocturnia from Python: documents, parameters, sampling and rendering.

The same code as the `nocturnia` program runs underneath, so a document
edited here saves the bytes `nocturnia edit` would, and sample() and
render() give the program's bits:

    import nocturnia
    doc = nocturnia.Document.open("sky.json")
    doc["Gamma"] = 1.2
    pixels = doc.render(width=320, height=180)   # (180, 320, 3) float32
    doc.save()

Errors raise nocturnia.Error subclasses whose kind and exit_status are the
program's. The plug-in's console lines go to the logger "nocturnia".
"""

import logging

from ._errors import (Cancelled, Error, InputError, InternalError, OutputError, UnknownLabelError, UsageError,
                      WorkError)
from ._records import Parameter
from ._nocturnia import Document, load_plugins, plugin_folder

logging.getLogger("nocturnia").addHandler(logging.NullHandler())

__all__ = ["Document", "Parameter", "Error", "UsageError", "UnknownLabelError", "InputError", "OutputError",
           "WorkError", "InternalError", "Cancelled", "load_plugins", "plugin_folder"]
