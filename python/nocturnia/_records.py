"""The Parameter record of Document.parameters()."""

from dataclasses import dataclass
from typing import Any, List, Optional


@dataclass(frozen=True)
class Parameter:
    """One entry of the shader's description, as `nocturnia describe --json` gives it.

    Limits are stored values (fractions for percent, radians for degrees);
    qualified_label is the shortest label that names this entry
    ("Star Layer 2/Density"); enabled is False where the entry is greyed out.
    """
    id: int
    label: str
    qualified_label: str
    group: Optional[str]
    type_name: str
    value: Any
    min: Optional[float]
    max: Optional[float]
    slider_min: Optional[float]
    slider_max: Optional[float]
    step: Optional[float]
    unit: Optional[str]
    options: Optional[List[dict]]
    hidden: bool
    enabled: bool
    keyed: bool
