# Type stubs of the nocturnia package, for editors and type checkers.
from typing import Any, Callable, List, Optional, Sequence, Tuple, Union

import numpy
import numpy.typing

from ._errors import (Cancelled as Cancelled, Error as Error, InputError as InputError,
                      InternalError as InternalError, OutputError as OutputError,
                      UnknownLabelError as UnknownLabelError, UsageError as UsageError, WorkError as WorkError)
from ._records import Parameter as Parameter

Color = Tuple[float, float, float]
Knot = dict
Value = Union[float, int, bool, str, Color, List[Knot], None]
Region = Union[str, Tuple[int, int, int, int]]
Tile = Union[str, Tuple[int, int]]

def load_plugins(plugins: Optional[str] = None) -> None:
    """Loads the plug-ins (once per process) from plugins, NOCTURNIA_PLUGINS or the package's folder."""

def plugin_folder() -> Optional[str]:
    """The folder the plug-ins were loaded from, or None."""

class Document:
    """A Nocturnia document: a night-sky shader and its render settings."""

    @staticmethod
    def new(plugins: Optional[str] = None) -> "Document":
        """A new document with a default shader, as `nocturnia new` makes it."""
    @staticmethod
    def open(path: str, plugins: Optional[str] = None) -> "Document":
        """The document at path. Raises InputError when it cannot be read."""
    def save(self, path: Optional[str] = None, force: bool = False) -> None:
        """Writes the document atomically to path, or where it was opened from or last saved."""
    @property
    def path(self) -> Optional[str]:
        """Where the document was opened or saved."""
    def to_json(self) -> str:
        """The document as the JSON text save() writes."""
    def parameters(self, frame: Optional[int] = None) -> List[Parameter]:
        """Every parameter as the Attribute Manager lists it, at frame when given."""
    def __getitem__(self, label: str) -> Value:
        """The stored value of a parameter: doc["Gamma"], doc["Star Layer 2/Density"], doc["Horizon/Axis"]."""
    def __setitem__(self, label: str, value: Value) -> None:
        """Sets a parameter as `edit --set` does."""
    def press(self, label: str) -> None:
        """Presses a button, e.g. "Add Layer"."""
    def set_key(self, label: str, frame: float, value: Value, interpolation: Optional[str] = None) -> None:
        """Adds (or replaces) an animation key; interpolation is "step", "linear", "smooth" or None (the default)."""
    def remove_key(self, label: str, frame: float) -> None:
        """Removes the key on that frame."""
    def add_mask(self, kind: str, name: Optional[str] = None) -> None:
        """Adds a mask shader: "gradient" or "color"."""
    def remove_mask(self, name: str) -> None:
        """Removes a mask (by name or index); the links to it are cleared."""
    def set_render_setting(self, key: str, value: Value) -> None:
        """Sets a render setting as `edit --render` does."""
    def sample(self, points: numpy.typing.ArrayLike, frame: Optional[int] = None,
               sampler: str = "batch") -> numpy.ndarray:
        """The shader's colours at texture points: an (N, 3) float64 array."""
    def render(self, width: Optional[int] = None, height: Optional[int] = None, samples: Optional[int] = None,
               frame: Optional[int] = None, region: Optional[Region] = None, tile: Optional[Tile] = None,
               threads: Optional[int] = None, progress: Optional[Callable[[int, int], Any]] = None,
               dtype: str = "float32", sampler: str = "batch") -> numpy.ndarray:
        """Renders the document: an (H, W, 3) array of linear pixels, what an EXR float render holds."""
    def render_to_file(self, path: str, *, frames: Union[str, Sequence[int], None] = None, frame: Optional[int] = None,
                       width: Optional[int] = None, height: Optional[int] = None, samples: Optional[int] = None,
                       threads: Optional[int] = None, tile: Optional[Tile] = None, region: Optional[Region] = None,
                       half: bool = False, compression: Optional[str] = None, depth: Optional[int] = None,
                       skip_existing: bool = False, report: Optional[str] = None,
                       progress: Optional[Callable[[int, int], Any]] = None, sampler: str = "batch",
                       colorspace: Optional[str] = None, display: Optional[str] = None, view: Optional[str] = None,
                       ocio: Optional[str] = None, working_space: Optional[str] = None) -> dict:
        """Renders and writes the image files `nocturnia render` writes; returns the report as a dict.

        colorspace (EXR), display and view (PNG), ocio and working_space are the program's --colorspace,
        --display, --view, --ocio and --working-space; the config is ocio, else $OCIO, else the program's own.
        """
