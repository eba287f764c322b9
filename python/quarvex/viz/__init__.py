"""Pictures of packed boxes: an interactive 3D view for a notebook or a browser.

Every opened box is drawn at its true proportions with its items as solid blocks,
one colour per article family; hovering shows what each item carries against
its MaxLoad, and fragile ones (MaxLoad 0) are marked. A page from `to_html`
adds the families' legend, a slider that steps through the loading order and
the list of what was not packed. Needs plotly: `pip install quarvex[viz]`.
"""

from .figure import figure
from .page import show, to_html

__all__ = ["figure", "to_html", "show"]
