// Nothing of its own: the shared objects made from it hold one folder library each.
