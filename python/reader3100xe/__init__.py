"""Python binding of the 3100XE reader library (lib3100XE_DLL.so).

    from reader3100xe import Reader
    with Reader() as reader:
        print(reader.version, reader.serial_number)
        decode = reader.scan(timeout=5)

`reader3100xe.lowlevel` has every C function under its own name.
"""

from .decode import BARCODE, TAG, Decode, Output
from .errors import ReaderError
from .reader import DEVICE_ALL, Reader
from .settings import Settings

__all__ = ["BARCODE", "TAG", "DEVICE_ALL", "Decode", "Output", "Reader", "ReaderError", "Settings"]
__version__ = "2.0.27"
