#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""An independent Modbus slave (pymodbus) on a serial device, for checking our master against it.

Each slave has holding registers 0..4999 addressed as on the wire (register 4018 is 4018), filled with
known values: register r holds (r * 7 + address) % 65536, and 4016 holds 0. Function 17 answers with the
slave id given per address.
"""
import argparse
import logging
import sys

from pymodbus.datastore import ModbusSequentialDataBlock, ModbusServerContext, ModbusSlaveContext
from pymodbus.server import StartSerialServer
from pymodbus.transaction import ModbusAsciiFramer, ModbusRtuFramer


def register_value(address, register):
    return (register * 7 + address) % 65536


def slave_context(address, slave_id):
    values = [register_value(address, r) for r in range(5000)]
    values[4016] = 0
    context = ModbusSlaveContext(hr=ModbusSequentialDataBlock(0, values), zero_mode=True)
    context.reportSlaveIdData = bytes([slave_id])
    return context


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--device", required=True, help="serial device to serve")
    parser.add_argument("--framer", choices=["ascii", "rtu"], required=True)
    parser.add_argument("--slave", action="append", default=[], metavar="ADDRESS[:ID]",
                        help="a slave address and its slave id (default id 142)")
    args = parser.parse_args()

    slaves = {}
    for item in args.slave or ["1"]:
        address, _, slave_id = item.partition(":")
        slaves[int(address)] = slave_context(int(address), int(slave_id or "142"))
    context = ModbusServerContext(slaves=slaves, single=False)
    framer = ModbusAsciiFramer if args.framer == "ascii" else ModbusRtuFramer
    logging.basicConfig(level=logging.WARNING, stream=sys.stderr)
    StartSerialServer(context=context, framer=framer, port=args.device, baudrate=9600,
                      ignore_missing_slaves=True)


if __name__ == "__main__":
    main()
