// Anchors the shared library target; all of its code comes from the core.
